#pragma once

namespace korl {

// `korl --screenshot debug|design|wave FILE -o PICTURE.png [--size WxH]
// [--break FILE:LINE] [--watch EXPR]...`: the main window offscreen in one
// scene (stopped at a breakpoint, after Elaborate, showing a dump), drawn
// into a PNG. Returns the exit status, or -1 when argv asks for no screenshot.
int ScreenshotMain(int argc, char** argv);

} // namespace korl
