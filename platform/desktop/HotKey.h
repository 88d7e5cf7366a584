#pragma once

// The global hot key: a key combination that reaches the program wherever the input focus is.
// On X11 it is a passive grab of the key on the root window; elsewhere (Wayland, offscreen)
// there is none.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace qcal::desktop {

// The hot key chosen by the options: a modifier row and a letter.
struct HotKeyChoice {
    int modifierIndex = 4;  // 0 Alt, 1 Ctrl, 2 Shift, 3 Ctrl+Alt, 4 Ctrl+Shift
    int letterIndex = 25;   // 0 = A .. 25 = Z

    // "Ctrl+Shift", "Alt", ...
    QString ModifierText() const;
    // "Ctrl+Shift+Z"
    QString Text() const;
    QChar Letter() const { return QChar(u'A' + letterIndex); }
    bool operator==(const HotKeyChoice&) const = default;
};

// The choice for the stored myIndex / myKey: values above the last row or letter count as the
// last one, negative values as the first.
HotKeyChoice HotKeyFromOptions(std::int32_t myIndex, std::int32_t myKey);

class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;

    // True when the desktop lets a program grab a key for itself (X11 with a display).
    bool Available() const;

    // Grabs the key, releasing a key grabbed before. A combination already grabbed by another
    // program is taken as far as it can be and not reported.
    void Register(const HotKeyChoice& choice);
    void Unregister();
    // The key currently held, if any.
    std::optional<HotKeyChoice> Registered() const { return registered_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Tests: pretend the desktop does (true) or does not (false) allow a grab; grabs are then
    // only recorded. std::nullopt returns to the real desktop.
    static void SetAvailableForTesting(std::optional<bool> available);

signals:
    // The key was pressed. Delivered through the event queue, so that what it starts may run
    // its own event loop.
    void pressed();

private:
    void Grab(bool grab);

    std::optional<HotKeyChoice> registered_;
    // X11 details of the grab.
    std::uint16_t modifiers_ = 0;
    std::uint16_t ignoredModifiers_ = 0;
    std::uint8_t keycode_ = 0;
    bool filtering_ = false;
};

}  // namespace qcal::desktop
