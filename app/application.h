#pragma once

class Korl_MainFrame;

namespace korl {

// The composition root: installs the wave windows, the debugger and the
// browsers into the frame (tests build their frames through it too).
void InstallParts(Korl_MainFrame& frame);

// The window program: start-up, the main frame, the message loop, shut-down.
// Arguments: a .k1 path opens that project, a .vcd path a dump, any other
// path an editor.
int RunKorl(int argc, char** argv);

// Organisation and application names that QSettings files the state under.
void SetApplicationIdentity();

} // namespace korl
