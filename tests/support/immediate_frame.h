// The frame as the scene drew it while every tile was its own immediate-mode quad: a second,
// independent drawing of the same picture for the picture tests and the render benchmark.
#pragma once

// Draws and presents one frame from the current scene state, as RenderFrame did before.
void DrawImmediateFrame();
