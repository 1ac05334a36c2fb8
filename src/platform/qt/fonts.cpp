#include "platform/qt/fonts.h"

#include <QApplication>
#include <QStringList>

namespace norvax {

namespace {

const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString kGothic = QStringLiteral("ＭＳ ゴシック");

QFont Face(const QString& family, int pixelSize, bool fixed) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setStyleHint(fixed ? QFont::Monospace : QFont::SansSerif);
  font.setFixedPitch(fixed);
  return font;
}

}  // namespace

QFont PGothic(int pixelSize) { return Face(kPGothic, pixelSize, false); }
QFont Gothic(int pixelSize) { return Face(kGothic, pixelSize, true); }

void InstallFontSubstitutes() {
  QFont::insertSubstitutions(kPGothic,
                             {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                              QStringLiteral("IPA Pゴシック"), QStringLiteral("Noto Sans CJK JP"),
                              QStringLiteral("IPAGothic"), QStringLiteral("VL PGothic")});
  QFont::insertSubstitutions(
      kGothic,
      {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
       QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic")});
}

void InstallProgramFonts() {
  InstallFontSubstitutes();
  QApplication::setFont(PGothic(12));
}

}  // namespace norvax
