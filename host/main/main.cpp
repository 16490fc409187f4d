// quillmark: runs the application headless, driven by a command script (the file named as
// the only argument) or by standard input. See host/Driver.h for the command language.
#include <fstream>
#include <iostream>

#include "host/Driver.h"
#include "host/SampleApp.h"

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::cerr << "usage: quillmark [script]\n";
        return 2;
    }
    std::ifstream file;
    if (argc == 2) {
        file.open(argv[1]);
        if (!file) {
            std::cerr << "quillmark: cannot read " << argv[1] << "\n";
            return 2;
        }
    }
    std::istream& input = argc == 2 ? static_cast<std::istream&>(file) : std::cin;
    host::Driver driver(std::cout);
    uikit::setApplicationMainRunner([&] { return driver.run(input); });
    return UIApplicationMain(argc, argv, [] { return std::make_shared<host::SampleAppDelegate>(); });
}
