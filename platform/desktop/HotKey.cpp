#include "platform/desktop/HotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <array>
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace qcal::desktop {
namespace {

struct ModifierRow {
    const char16_t* text;
    std::uint16_t mask;
};

constexpr std::array<ModifierRow, 5> kModifierRows{{
    {u"Alt", XCB_MOD_MASK_1},
    {u"Ctrl", XCB_MOD_MASK_CONTROL},
    {u"Shift", XCB_MOD_MASK_SHIFT},
    {u"Ctrl+Alt", XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1},
    {u"Ctrl+Shift", XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT},
}};
constexpr int kLastLetter = 25;

constexpr xcb_keysym_t kKeysymNumLock = 0xff7f;
constexpr xcb_keysym_t kKeysymLowerA = 0x61;

std::optional<bool> g_availableForTesting;

xcb_connection_t* Connection() {
    if (g_availableForTesting)
        return nullptr;
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!gui || QGuiApplication::platformName() != QStringLiteral("xcb"))
        return nullptr;
    auto* x11 = gui->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t RootWindow(xcb_connection_t* connection) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};

// The first keycode that produces keysym, 0 when none does.
std::uint8_t KeycodeOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    if (!codes)
        return 0;
    const std::uint8_t code = codes[0] == XCB_NO_SYMBOL ? 0 : codes[0];
    std::free(codes);
    return code;
}

// The modifier bit that Num Lock sets on this keyboard (Mod2 on nearly all of them).
std::uint16_t NumLockMask(xcb_connection_t* connection, std::uint8_t numLockCode) {
    std::uint16_t mask = XCB_MOD_MASK_2;
    if (numLockCode == 0)
        return mask;
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> reply(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr),
        &std::free);
    if (!reply)
        return mask;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int k = 0; k < perModifier; ++k) {
            if (codes[modifier * perModifier + k] == numLockCode)
                return std::uint16_t(1u << modifier);
        }
    }
    return mask;
}

}  // namespace

QString HotKeyChoice::ModifierText() const {
    return QString::fromUtf16(kModifierRows[std::size_t(modifierIndex)].text);
}

QString HotKeyChoice::Text() const {
    return ModifierText() + QLatin1Char('+') + Letter();
}

HotKeyChoice HotKeyFromOptions(std::int32_t myIndex, std::int32_t myKey) {
    const int lastRow = int(kModifierRows.size()) - 1;
    HotKeyChoice choice;
    choice.modifierIndex = myIndex < 0 ? 0 : myIndex > lastRow ? lastRow : int(myIndex);
    choice.letterIndex = myKey < 0 ? 0 : myKey > kLastLetter ? kLastLetter : int(myKey);
    return choice;
}

void GlobalHotKey::SetAvailableForTesting(std::optional<bool> available) {
    g_availableForTesting = available;
}

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent) {}

GlobalHotKey::~GlobalHotKey() {
    Unregister();
    if (filtering_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool GlobalHotKey::Available() const {
    if (g_availableForTesting)
        return *g_availableForTesting;
    return Connection() != nullptr;
}

void GlobalHotKey::Register(const HotKeyChoice& choice) {
    Unregister();
    if (!Available())
        return;
    registered_ = choice;
    xcb_connection_t* connection = Connection();
    if (!connection)
        return;  // a test's pretend desktop
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols(
        xcb_key_symbols_alloc(connection));
    if (!symbols)
        return;
    keycode_ = KeycodeOf(symbols.get(), kKeysymLowerA + xcb_keysym_t(choice.letterIndex));
    ignoredModifiers_ = std::uint16_t(
        XCB_MOD_MASK_LOCK | NumLockMask(connection, KeycodeOf(symbols.get(), kKeysymNumLock)));
    modifiers_ = kModifierRows[std::size_t(choice.modifierIndex)].mask;
    if (keycode_ == 0)
        return;  // no key of this keyboard gives the letter
    if (!filtering_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
    }
    Grab(true);
}

void GlobalHotKey::Unregister() {
    if (!registered_)
        return;
    if (keycode_ != 0 && Connection())
        Grab(false);
    registered_.reset();
    keycode_ = 0;
}

void GlobalHotKey::Grab(bool grab) {
    xcb_connection_t* connection = Connection();
    const xcb_window_t root = RootWindow(connection);
    if (root == XCB_WINDOW_NONE)
        return;
    // The grab must hold whatever state Caps Lock and Num Lock are in.
    const std::uint16_t numLock = std::uint16_t(ignoredModifiers_ & ~XCB_MOD_MASK_LOCK);
    for (std::uint16_t extra : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK), numLock,
                                std::uint16_t(XCB_MOD_MASK_LOCK | numLock)}) {
        const std::uint16_t mods = std::uint16_t(modifiers_ | extra);
        if (grab) {
            // A key another program holds fails with an access error; the program runs on
            // without its key, as the user would expect of any clash of global keys.
            const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                connection, 1, root, mods, keycode_, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            std::free(xcb_request_check(connection, cookie));
        } else {
            xcb_ungrab_key(connection, keycode_, root, mods);
        }
    }
    xcb_flush(connection);
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!registered_ || keycode_ == 0 || eventType != QByteArrayLiteral("xcb_generic_event_t"))
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->detail != keycode_ || (key->state & ~ignoredModifiers_ & 0xff) != modifiers_)
        return false;
    QMetaObject::invokeMethod(this, &GlobalHotKey::pressed, Qt::QueuedConnection);
    return true;
}

}  // namespace qcal::desktop
