#pragma once

// The about box: the program's name, version and build, its web page and support address.

#include <QDialog>
#include <QLabel>

class QPushButton;

namespace qcal {

// The product's web page as the about box shows it (the address itself is the shell's).
inline constexpr char kWebsiteName[] = "quenlaris-calendar.example.org";

// A label that behaves as a link: red and underlined under the pointer, navy otherwise, and
// a click opens its address.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    TLinkLabel(const QString& text, QWidget* parent);
    // Red and underlined while hovered.
    bool Hovered() const { return hovered_; }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetHovered(bool hovered);
    bool hovered_ = false;
};

class Taboutform : public QDialog {
    Q_OBJECT
public:
    explicit Taboutform(QWidget* parent = nullptr);

    static constexpr int kHelpTopic = 30;

    QLabel* Title = nullptr;
    TLinkLabel* Label6 = nullptr;  // the web page
    TLinkLabel* Label4 = nullptr;  // the support address
    QPushButton* Button1 = nullptr;
};

}  // namespace qcal
