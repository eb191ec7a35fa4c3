// gaugekit_test_peer: a test tool, not part of the product. The tests of one bitness run the
// other bitness's copy of it, to show that what one build saves the other loads intact and
// that both paint the same pixels.
//   gaugekit_test_peer save BAG STREAM   saves a changed control both ways, prints its state
//   gaugekit_test_peer load BAG STREAM   loads each into a new control, prints both states
//   gaugekit_test_peer draw              prints the hash of every drawn test picture
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "client.h"

using namespace gaugekit::testing;

namespace {

int run(int argc, wchar_t** argv) {
    const Module module;
    if (!module) {
        std::fprintf(stderr, "gaugekit.dll cannot be loaded beside this program\n");
        return 2;
    }
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"draw") {
        std::fputs(drawnPictures(module).c_str(), stdout);
        return 0;
    }
    if (argc != 4 || (command != L"save" && command != L"load")) {
        std::fprintf(stderr, "usage: gaugekit_test_peer save|load BAG STREAM | draw\n");
        return 2;
    }
    if (command == L"save") {
        const auto bar = module.create();
        ByteBag bag;
        if (!changeEverything(bar.get()) ||
            FAILED(query<IPersistPropertyBag>(bar.get(), IID_IPersistPropertyBag)
                       ->Save(&bag, TRUE, FALSE)) ||
            !writeFile(argv[2], bag.bytes()) || !writeFile(argv[3], savedStream(bar.get(), TRUE))) {
            std::fprintf(stderr, "the control could not be saved\n");
            return 1;
        }
        std::fputs(describe(bar.get()).c_str(), stdout);
        return 0;
    }
    const auto fromBag = module.create();
    const auto fromStream = module.create();
    ByteBag bag;
    if (!bag.assign(readFile(argv[2])) ||
        FAILED(query<IPersistPropertyBag>(fromBag.get(), IID_IPersistPropertyBag)
                   ->Load(&bag, nullptr)) ||
        FAILED(loadStream(fromStream.get(), readFile(argv[3])))) {
        std::fprintf(stderr, "the control could not be loaded\n");
        return 1;
    }
    std::fputs((describe(fromBag.get()) + "----\n" + describe(fromStream.get())).c_str(), stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (FAILED(CoInitialize(nullptr))) return 2;
    _setmode(_fileno(stdout), _O_BINARY);  // the lines as printed, for comparison
    const int status = run(argc, argv);
    CoUninitialize();
    return status;
}
