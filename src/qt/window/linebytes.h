#pragma once

#include <string>

#include <QList>
#include <QString>

// Typed text as the bytes the line carries: one byte per character 0 to 255; a character beyond has no
// byte and goes out as "?".
std::string lineBytes(const QString &text);
