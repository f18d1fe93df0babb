#include <cstdio>
#include <cstring>

#include "app/application.h"
#include "app/screenshots.h"
#include "korl_version.h"
#include "waview/qt/waveopen.h"

namespace {

const char kUsage[] =
    "usage: korl [FILE...]\n"
    "       korl --snapshot FILE.vcd -o PICTURE.png [--window FROM:TO] [--cursor T]... [--size WxH]\n"
    "       korl --screenshot debug|design|wave FILE -o PICTURE.png [--size WxH]\n"
    "            [--break FILE:LINE] [--watch EXPR]...\n"
    "       korl --help | --version\n"
    "\n"
    "Korl, the IDE for SystemC hardware models.\n"
    "\n"
    "  korl                 open the main window\n"
    "  korl FILE...         open the main window and each FILE in it: a project (.k1)\n"
    "                       is loaded, a value change dump (.vcd) is shown in a wave\n"
    "                       window, any other file opens in an editor\n"
    "  korl --snapshot ...  write a PNG picture of a dump's wave window, without the\n"
    "                       main window or a display:\n"
    "    -o PICTURE.png       the picture to write\n"
    "    --window FROM:TO     the time range to show, in the dump's time units\n"
    "    --cursor T           a time cursor at T (up to 10)\n"
    "    --size WxH           the window's size in pixels (default 1600x900)\n"
    "  korl --screenshot ...  write a PNG picture of the main window, drawn without a\n"
    "                       display: stopped at a breakpoint of the project FILE\n"
    "                       (debug, with --break and the Examine 1 --watch list),\n"
    "                       after Elaborate (design), or showing a dump (wave: the\n"
    "                       dump FILE, or the one the project FILE writes when run)\n"
    "  --help, -h           print this help\n"
    "  --version            print Korl's version\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Korl %s\n", KORL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    // korl --snapshot FILE.vcd -o PICTURE.png ...: a picture of a dump, no IDE window.
    if (const int rc = WaveSnapshotMain(argc, argv); rc >= 0) return rc;
    if (const int rc = korl::ScreenshotMain(argc, argv); rc >= 0) return rc;
    return korl::RunKorl(argc, argv);
}
