#pragma once
// The wave windows' command context: Wave menu, File Save/Print for the
// active wave window, and opening dumps for the frame.
class Korl_FrameServices;

void InstallWaveWindows(Korl_FrameServices& frame);
