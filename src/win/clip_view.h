// The animation: the program's own AVI reader gives the frames, and the control draws them on a
// timer (Windows' own animation control draws nothing of such clips under wine). The window
// class "TessarelClip"; its messages open, play and stop a clip.
#pragma once

#include <windows.h>

#include <string>

namespace tessarel {

void RegisterClipView();

// The clip at path; false when it is missing or damaged (the control then stays empty).
bool OpenClip(HWND view, const std::string& path);
void PlayClip(HWND view);
void StopClip(HWND view);
int ClipFrame(HWND view);  // the frame shown now

}  // namespace tessarel
