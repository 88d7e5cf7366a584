#include "widgets/Convert.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>

#include <array>
#include <limits>

namespace qcal::desktop {
namespace {

// The palette roles of the system colour codes 0x80000000 + index, in index order.
constexpr std::array<QPalette::ColorRole, 25> kSystemRoles{QPalette::Button,
                                                           QPalette::Window,
                                                           QPalette::Highlight,
                                                           QPalette::Button,
                                                           QPalette::Window,
                                                           QPalette::Base,
                                                           QPalette::Shadow,
                                                           QPalette::WindowText,
                                                           QPalette::Text,
                                                           QPalette::HighlightedText,
                                                           QPalette::Mid,
                                                           QPalette::Midlight,
                                                           QPalette::Dark,
                                                           QPalette::Highlight,
                                                           QPalette::HighlightedText,
                                                           QPalette::Button,
                                                           QPalette::Dark,
                                                           QPalette::PlaceholderText,
                                                           QPalette::ButtonText,
                                                           QPalette::WindowText,
                                                           QPalette::Light,
                                                           QPalette::Shadow,
                                                           QPalette::Midlight,
                                                           QPalette::ToolTipText,
                                                           QPalette::ToolTipBase};

constexpr TColor kSystemBit = 0x80000000;

}  // namespace

QColor ToQColor(TColor color) {
    if (color & kSystemBit) {
        const TColor index = color & 0xFF;
        const QPalette palette = QApplication::palette();
        return index < kSystemRoles.size() ? palette.color(kSystemRoles[index])
                                           : palette.color(QPalette::Base);
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color) {
    return TColor(color.red()) | (TColor(color.green()) << 8) | (TColor(color.blue()) << 16);
}

QString TrimBlanks(const QString& text) {
    auto blank = [](QChar c) {
        return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
    };
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

QDate ToQDate(TDateTime value) {
    return QDate(1899, 12, 30).addDays(DayOf(value));
}

TDateTime FromQDate(const QDate& date) {
    return TDateTime(QDate(1899, 12, 30).daysTo(date));
}

QTime ToQTime(TDateTime value) {
    const TimeOfDay t = DecodeTime(value);
    if (t.hour >= 24)
        return QTime(23, 59, 59, 999);
    return QTime(t.hour, t.minute, t.second, t.millisecond);
}

TDateTime FromQTime(const QTime& time) {
    return EncodeTime(time.hour(), time.minute(), time.second(), time.msec());
}

QLineEdit* TextLine(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

}  // namespace qcal::desktop
