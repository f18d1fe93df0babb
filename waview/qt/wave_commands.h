#pragma once
// The wave windows' command context: Wave menu, File Save/Print/Print Setup
// for the active wave window, and opening dumps for the frame.
class Korl_CommandRegistry;
class Korl_FrameServices;

// The commands a wave window serves, acting on the registry's active child.
void RegisterWaveCommands(Korl_CommandRegistry& commands);
void InstallWaveWindows(Korl_FrameServices& frame);
