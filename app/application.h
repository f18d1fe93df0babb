#pragma once

namespace korl {

// The window program: start-up, the main frame, the message loop, shut-down.
// Arguments: a .k1 path opens that project, a .vcd path a dump, any other
// path an editor.
int RunKorl(int argc, char** argv);

// Organisation and application names that QSettings files the state under.
void SetApplicationIdentity();

} // namespace korl
