#pragma once

// Conversions at the boundary between the data layer and the windows.

#include <QColor>
#include <QDate>
#include <QString>
#include <QTime>

#include <string>

#include "core/DateTime.h"
#include "core/Event.h"

class QLineEdit;
class QWidget;

namespace qcal::desktop {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string Std(const QString& text) {
    return text.toStdString();
}

// 0x00BBGGRR to QColor and back. System colour codes (high bit set) map to the palette.
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

// Without leading and trailing blanks and control characters.
QString TrimBlanks(const QString& text);

// A one-line text box that takes a text of any length: a plain QLineEdit cuts what it is
// given at 32767 characters, and the cut text would be saved.
QLineEdit* TextLine(QWidget* parent = nullptr);

QDate ToQDate(TDateTime value);  // the whole-day part
TDateTime FromQDate(const QDate& date);
QTime ToQTime(TDateTime value);  // the fraction, to the millisecond
TDateTime FromQTime(const QTime& time);

}  // namespace qcal::desktop
