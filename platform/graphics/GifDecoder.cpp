// GIF decoding over giflib, record by record (never slurping the whole file, so no frame's
// claimed size is allocated before it is checked). A scan finds the frames, their timing and
// disposal; the compositor then draws them in order onto a canvas of the logical screen.
#include "platform/graphics/Codecs.h"

#include <algorithm>
#include <cstring>

#include <gif_lib.h>

namespace graphics {

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    bool shortRead = false; // a read asked for more than was left
};

int readBytes(GifFileType* gif, GifByteType* out, int count)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    if (count <= 0)
        return 0;
    std::size_t n = std::min<std::size_t>(std::size_t(count), r->size - r->pos);
    r->shortRead = r->shortRead || n < std::size_t(count);
    std::memcpy(out, r->data + r->pos, n);
    r->pos += n;
    return int(n);
}

// An open giflib decoder over a reader, closed on scope exit.
class GifHandle {
public:
    explicit GifHandle(Reader& reader)
    {
        int error = 0;
        gif_ = DGifOpen(&reader, readBytes, &error);
    }
    ~GifHandle()
    {
        if (gif_) {
            int error = 0;
            DGifCloseFile(gif_, &error);
        }
    }
    GifHandle(const GifHandle&) = delete;
    GifHandle& operator=(const GifHandle&) = delete;
    GifFileType* get() const { return gif_; }

private:
    GifFileType* gif_ = nullptr;
};

constexpr std::size_t kMaxFrames = 4096;

// Reads one extension; fills the pending graphics control or the loop count.
bool readExtension(GifFileType* gif, GifFrameInfo& pending, bool& havePending, int& loopCount)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return false;
    bool netscape = false;
    bool first = true;
    while (block) {
        if (code == GRAPHICS_EXT_FUNC_CODE && first) {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                pending.hasControl = true;
                pending.delayCentiseconds = gcb.DelayTime;
                pending.disposal = gcb.DisposalMode;
                pending.transparentIndex = gcb.TransparentColor;
                havePending = true;
            }
        } else if (code == APPLICATION_EXT_FUNC_CODE && first) {
            netscape = block[0] >= 11 && std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0;
        } else if (netscape && block[0] >= 3 && block[1] == 1) {
            loopCount = block[2] | (block[3] << 8);
        }
        first = false;
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// Skips a frame's image data; false when the data ends first.
bool skipImageData(GifFileType* gif)
{
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// Row order of an interlaced frame: every 8th from 0, every 8th from 4, every 4th from 2, odd rows.
std::vector<int> rowOrder(int height, bool interlaced)
{
    std::vector<int> order;
    order.reserve(std::size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    const int starts[4] = { 0, 4, 2, 1 }, steps[4] = { 8, 8, 4, 2 };
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            order.push_back(y);
    return order;
}

} // namespace

GifScan scanGif(const std::uint8_t* data, std::size_t size)
{
    GifScan scan;
    if (!data || sniffImageFormat(data, size) != ImageFormat::GIF)
        return scan;
    Reader reader { data, size, 0 };
    GifHandle handle(reader);
    GifFileType* gif = handle.get();
    if (!gif || !pixelCountAllowed(std::size_t(gif->SWidth), std::size_t(gif->SHeight)))
        return scan;
    scan.valid = true;
    scan.width = std::size_t(gif->SWidth);
    scan.height = std::size_t(gif->SHeight);
    const std::size_t canvas = scan.width * scan.height;
    GifFrameInfo pending;
    bool havePending = false;
    while (scan.frames.size() < kMaxFrames && (scan.frames.size() + 1) * canvas <= maxImagePixels()) {
        std::size_t offset = reader.pos;
        GifRecordType type;
        if (offset == size)
            break; // ends between records: whole, if without its trailer
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            break;
        if (type == TERMINATE_RECORD_TYPE)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            if (!readExtension(gif, pending, havePending, scan.loopCount))
                break;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR)
            break;
        GifFrameInfo frame = havePending ? pending : GifFrameInfo {};
        frame.offset = offset;
        frame.left = gif->Image.Left;
        frame.top = gif->Image.Top;
        frame.width = gif->Image.Width;
        frame.height = gif->Image.Height;
        if (frame.width <= 0 || frame.height <= 0 || !pixelCountAllowed(std::size_t(frame.width), std::size_t(frame.height)))
            break;
        frame.complete = skipImageData(gif);
        scan.frames.push_back(frame);
        pending = GifFrameInfo {};
        havePending = false;
        if (!frame.complete)
            break;
    }
    scan.truncated = reader.shortRead;
    return scan;
}

GifCompositor::GifCompositor(const std::uint8_t* data, std::size_t size, const GifScan& scan)
    : data_(data)
    , size_(size)
    , scan_(scan)
{
}

bool GifCompositor::apply(std::size_t index)
{
    const GifFrameInfo& frame = scan_.frames[index];
    const std::size_t W = scan_.width, H = scan_.height;
    if (index == 0) {
        canvas_.assign(W * H * 4, 0);
    } else {
        const GifFrameInfo& prev = scan_.frames[index - 1];
        if (prev.disposal == DISPOSE_BACKGROUND) {
            for (int y = std::max(0, prev.top); y < std::min<int>(int(H), prev.top + prev.height); ++y)
                for (int x = std::max(0, prev.left); x < std::min<int>(int(W), prev.left + prev.width); ++x)
                    std::memset(&canvas_[(std::size_t(y) * W + std::size_t(x)) * 4], 0, 4);
        } else if (prev.disposal == DISPOSE_PREVIOUS && previous_.size() == canvas_.size()) {
            canvas_ = previous_;
        }
    }
    if (frame.disposal == DISPOSE_PREVIOUS)
        previous_ = canvas_;

    Reader reader { data_, size_, 0 };
    GifHandle handle(reader);
    GifFileType* gif = handle.get();
    if (!gif)
        return false;
    reader.pos = frame.offset;
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR)
        return false;
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    std::vector<GifPixelType> line(std::size_t(frame.width));
    std::vector<int> order = rowOrder(frame.height, gif->Image.Interlace);
    for (int row : order) {
        if (DGifGetLine(gif, line.data(), frame.width) == GIF_ERROR)
            break; // keep the rows that arrived
        int cy = frame.top + row;
        if (cy < 0 || std::size_t(cy) >= H)
            continue;
        for (int x = 0; x < frame.width; ++x) {
            int cx = frame.left + x, idx = line[std::size_t(x)];
            if (cx < 0 || std::size_t(cx) >= W || idx == frame.transparentIndex)
                continue;
            std::uint8_t* p = &canvas_[(std::size_t(cy) * W + std::size_t(cx)) * 4];
            if (map && idx < map->ColorCount) {
                p[0] = map->Colors[idx].Red;
                p[1] = map->Colors[idx].Green;
                p[2] = map->Colors[idx].Blue;
            } else {
                p[0] = p[1] = p[2] = 0;
            }
            p[3] = 255;
        }
    }
    return true;
}

CGImageRef GifCompositor::frame(std::size_t index)
{
    if (!scan_.valid || index >= scan_.frames.size())
        return nullptr;
    if (index < next_) {
        next_ = 0;
        previous_.clear();
    }
    while (next_ <= index) {
        if (!apply(next_))
            return nullptr;
        ++next_;
    }
    CGBitmapLayout layout { scan_.width, scan_.height, 8, 32, scan_.width * 4, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaLast };
    return CGImage::create(std::move(layout), std::make_shared<const Bytes>(canvas_));
}

} // namespace graphics
