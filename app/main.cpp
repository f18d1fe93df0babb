#include "app/application.h"
#include "waview/qt/waveopen.h"

int main(int argc, char** argv) {
    // korl --snapshot FILE.vcd -o PICTURE.png ...: a picture of a dump, no IDE window.
    if (const int rc = WaveSnapshotMain(argc, argv); rc >= 0) return rc;
    return korl::RunKorl(argc, argv);
}
