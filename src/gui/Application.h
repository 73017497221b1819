// What the program sets up once, before its window: its names, its icon and the fonts.
#pragma once

#include <QIcon>

QIcon ProgramIcon();
void ConfigureApplication();
