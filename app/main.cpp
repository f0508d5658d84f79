// Vidora.exe: the operator's program.
#include "vidora_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vidora::RunVidora(instance);
}
