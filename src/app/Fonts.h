#pragma once

// The windows are laid out in pixels for Tahoma: its files sit outside the font folders, so they are
// registered here; where they are missing, and for Segoe UI, a close family stands in.
void registerFonts();
