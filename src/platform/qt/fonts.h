// The program's fonts: the Japanese faces its windows ask for, with the installed Japanese
// fonts standing in when those are missing.
#pragma once

#include <QFont>

namespace norvax {

// "ＭＳ Ｐゴシック" (proportional) and "ＭＳ ゴシック" (fixed pitch).
QFont PGothic(int pixelSize = 12);
QFont Gothic(int pixelSize = 12);

// Registers the stand-ins (IPA, Noto CJK, …) for the two faces.
void InstallFontSubstitutes();

// The stand-ins, and the proportional face as the application's font; call once after the
// QApplication exists.
void InstallProgramFonts();

}  // namespace norvax
