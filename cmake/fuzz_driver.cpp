// Replays a fuzz target without libFuzzer: every file of its corpus folder (if any), then a
// fixed number of inputs mutated from them by a seeded generator (flips, cuts, inserts, splices).
// It lets CI run every fuzz target under the sanitizers with gcc, in a bounded time.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> readCorpus(const char* dir)
{
    std::vector<Bytes> corpus;
    std::error_code ec;
    if (!dir || !std::filesystem::is_directory(dir, ec))
        return corpus;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return corpus;
}

Bytes mutate(const Bytes& seed, const std::vector<Bytes>& corpus, std::mt19937& rng)
{
    Bytes out = seed;
    int rounds = 1 + static_cast<int>(rng() % 4);
    for (int r = 0; r < rounds; ++r) {
        switch (rng() % 6) {
        case 0: // flip a byte
            if (!out.empty())
                out[rng() % out.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            break;
        case 1: // cut the tail
            if (!out.empty())
                out.resize(rng() % out.size());
            break;
        case 2: // insert a random byte
            out.insert(out.begin() + static_cast<long>(out.empty() ? 0 : rng() % out.size()),
                static_cast<std::uint8_t>(rng()));
            break;
        case 3: // set an interesting byte
            if (!out.empty()) {
                static const std::uint8_t interesting[] = { 0, 0xff, 0x7f, 0x80, '"', '\\', '{', '[', '<', ',' };
                out[rng() % out.size()] = interesting[rng() % sizeof interesting];
            }
            break;
        case 4: // splice with another corpus entry
            if (!corpus.empty()) {
                const Bytes& other = corpus[rng() % corpus.size()];
                if (!other.empty()) {
                    std::size_t at = out.empty() ? 0 : rng() % out.size();
                    out.resize(at);
                    out.insert(out.end(), other.begin() + static_cast<long>(rng() % other.size()), other.end());
                }
            }
            break;
        default: // erase a run
            if (out.size() > 2) {
                std::size_t at = rng() % out.size();
                std::size_t len = 1 + rng() % (out.size() - at);
                out.erase(out.begin() + static_cast<long>(at), out.begin() + static_cast<long>(at + len));
            }
            break;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Bytes> corpus = readCorpus(argc > 1 ? argv[1] : nullptr);
    int iterations = 3000;
    if (const char* env = std::getenv("QM_FUZZ_ITERATIONS"))
        iterations = std::atoi(env);

    LLVMFuzzerTestOneInput(nullptr, 0);
    for (const Bytes& input : corpus)
        LLVMFuzzerTestOneInput(input.data(), input.size());

    std::mt19937 rng(20261206);
    for (int i = 0; i < iterations; ++i) {
        Bytes seed;
        if (!corpus.empty())
            seed = corpus[rng() % corpus.size()];
        else
            for (std::size_t n = rng() % 64; n > 0; --n)
                seed.push_back(static_cast<std::uint8_t>(rng()));
        Bytes input = mutate(seed, corpus, rng);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("fuzz: %zu corpus inputs and %d mutations ran clean\n", corpus.size(), iterations);
    return 0;
}
