// The program's icon, drawn once.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace norvax {

QPixmap ProgramPixmap(int size = 64);
QIcon ProgramIcon();

}  // namespace norvax
