#include "Accessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <memory>

namespace {

// What the screen shows for each typed character of a hidden password.
constexpr QChar maskCharacter(0x25CF);

// The item's `Accessible` attached object if it exists already; none is made here, since
// making one announces the item, which asks the factory again.
const QObject* existingAttached(const QObject* item) {
    for (const QObject* child : item->children())
        if (child->inherits("QQuickAccessibleAttached"))
            return child;
    return nullptr;
}

// What the item's QML says in its `Accessible` attached properties (name, description,
// passwordEdit), read the way QML itself resolves them.
QVariant said(QObject* item, const char* property) {
    if (const QObject* attached = existingAttached(item))
        return attached->property(property);
    const QQmlProperty attached(item, QStringLiteral("Accessible.") + QLatin1String(property),
                                qmlContext(item));
    return attached.isValid() ? attached.read() : QVariant();
}

// Qt Quick 6.4 hands the real text of a password entry to the accessibility bus whatever its
// echo mode. An entry stays secret once it is one: showing the password on screen is for the
// eyes of whoever sits at it, not for every program on the bus.
bool isSecret(QObject* entry) {
    const QObject* attached = existingAttached(entry);
    return (attached && attached->property("passwordEdit").toBool()) ||
           entry->property("echoMode").toInt() != 0;
}

QString masked(qsizetype length) {
    return QString(length, maskCharacter);
}

class EntryAccessible : public QAccessibleObject,
                        public QAccessibleTextInterface,
                        public QAccessibleActionInterface {
  public:
    explicit EntryAccessible(QQuickItem* item) : QAccessibleObject(item) {}

    QQuickItem* item() const { return static_cast<QQuickItem*>(object()); }
    QString realText() const { return item()->property("text").toString(); }
    qsizetype length() const { return realText().size(); }
    bool secret() const { return isSecret(item()); }

    QWindow* window() const override { return item()->window(); }
    QAccessibleInterface* parent() const override {
        // As Qt Quick does: the nearest ancestor that is accessible, the window above the root.
        QQuickWindow* window = item()->window();
        QQuickItem* root = window ? window->contentItem() : nullptr;
        for (QQuickItem* up = item()->parentItem(); up; up = up->parentItem()) {
            if (up == root)
                return QAccessible::queryAccessibleInterface(window);
            if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(up))
                return iface;
        }
        return nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
        // Qt's attached object withholds the name (and description) of a password entry, so
        // its label comes as the entry's unseen placeholder: here it is the name again.
        case QAccessible::Name: {
            const QString name = said(item(), "name").toString();
            return name.isEmpty() ? item()->property("placeholderText").toString() : name;
        }
        case QAccessible::Description:
            return said(item(), "description").toString();
        case QAccessible::Value:
            return secret() ? masked(length()) : realText();
        default:
            return {};
        }
    }
    QAccessible::Role role() const override { return QAccessible::EditableText; }
    QAccessible::State state() const override {
        QAccessible::State s;
        const bool shown = item()->isVisible() && item()->window();
        s.invisible = !shown;
        s.offscreen = !shown;
        s.disabled = !item()->isEnabled();
        s.focusable = item()->isEnabled();
        s.focused = item()->hasActiveFocus();
        s.passwordEdit = secret();
        s.readOnly = item()->property("readOnly").toBool();
        s.editable = !s.readOnly;
        s.selectableText = true;
        return s;
    }
    QRect rect() const override { return toScreen(item()->boundingRect()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return QAccessibleObject::interface_cast(type);
    }

    // Text: the dots, with the real caret and selection (positions give away no more than the
    // dots do).
    void selection(int index, int* start, int* end) const override {
        const int from = item()->property("selectionStart").toInt();
        const int to = item()->property("selectionEnd").toInt();
        *start = index == 0 && from != to ? from : 0;
        *end = index == 0 && from != to ? to : 0;
    }
    int selectionCount() const override {
        return item()->property("selectionStart") != item()->property("selectionEnd") ? 1 : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { QMetaObject::invokeMethod(item(), "deselect"); }
    void setSelection(int, int start, int end) override {
        QMetaObject::invokeMethod(item(), "select", Q_ARG(int, start), Q_ARG(int, end));
    }
    int cursorPosition() const override { return item()->property("cursorPosition").toInt(); }
    void setCursorPosition(int position) override {
        item()->setProperty("cursorPosition", position);
    }
    QString text(int start, int end) const override {
        const int count = characterCount();
        start = std::clamp(start, 0, count);
        end = end < 0 ? count : std::clamp(end, start, count);
        return secret() ? masked(end - start) : realText().mid(start, end - start);
    }
    int characterCount() const override { return int(length()); }
    QRect characterRect(int offset) const override {
        const QRectF before = positionRect(offset);
        const QRectF after = positionRect(offset + 1);
        return toScreen(QRectF(
            before.topLeft(), QSizeF(std::max<qreal>(after.x() - before.x(), 1), before.height())));
    }
    int offsetAtPoint(const QPoint& point) const override {
        QQuickWindow* window = item()->window();
        if (!window)
            return -1;
        const QPointF local = item()->mapFromScene(window->mapFromGlobal(point.toPointF()));
        if (!item()->boundingRect().contains(local))
            return -1;
        // Dots are few: the nearest caret position is found by asking each.
        int best = 0;
        for (int i = 1; i <= characterCount(); ++i)
            if (std::abs(positionRect(i).x() - local.x()) <
                std::abs(positionRect(best).x() - local.x()))
                best = i;
        return best;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = offset;
        *end = offset;
        return {};
    }

    QStringList actionNames() const override {
        return item()->isEnabled() ? QStringList{setFocusAction()} : QStringList{};
    }
    void doAction(const QString& name) override {
        if (name == setFocusAction())
            item()->forceActiveFocus(Qt::OtherFocusReason);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QRectF positionRect(int position) const {
        QRectF r;
        QMetaObject::invokeMethod(item(), "positionToRectangle", Q_RETURN_ARG(QRectF, r),
                                  Q_ARG(int, std::clamp(position, 0, characterCount())));
        return r;
    }
    QRect toScreen(const QRectF& local) const {
        QQuickWindow* window = item()->window();
        if (!window || !item()->isVisible())
            return {};
        const QPointF topLeft = item()->mapToScene(local.topLeft());
        return QRect(window->mapToGlobal(topLeft.toPoint()), local.size().toSize());
    }
};

QAccessibleInterface* secretEntryFactory(const QString&, QObject* object) {
    // Every entry gets ours: the factory is asked once per item, often before its bindings have
    // said whether it is a password entry.
    return object && object->inherits("QQuickTextInput")
               ? new EntryAccessible(static_cast<QQuickItem*>(object))
               : nullptr;
}

QAccessible::UpdateHandler nextHandler = nullptr;

// Qt Quick reports each edit with the characters typed or removed; for a secret entry they
// leave as dots.
std::unique_ptr<QAccessibleEvent> maskedCopy(QAccessibleEvent* event) {
    switch (event->type()) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::ValueChanged:
        break;
    default:
        return nullptr;
    }
    QAccessibleInterface* iface = event->accessibleInterface();
    const auto* entry = dynamic_cast<EntryAccessible*>(iface);
    if (!entry || !entry->secret())
        return nullptr;
    switch (event->type()) {
    case QAccessible::TextInserted: {
        const auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
        return std::make_unique<QAccessibleTextInsertEvent>(iface, e->changePosition(),
                                                            masked(e->textInserted().size()));
    }
    case QAccessible::TextRemoved: {
        const auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
        return std::make_unique<QAccessibleTextRemoveEvent>(iface, e->changePosition(),
                                                            masked(e->textRemoved().size()));
    }
    case QAccessible::TextUpdated: {
        const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
        return std::make_unique<QAccessibleTextUpdateEvent>(iface, e->changePosition(),
                                                            masked(e->textRemoved().size()),
                                                            masked(e->textInserted().size()));
    }
    default:
        return std::make_unique<QAccessibleValueChangeEvent>(iface,
                                                             iface->text(QAccessible::Value));
    }
}

void maskSecretEdits(QAccessibleEvent* event) {
    const std::unique_ptr<QAccessibleEvent> copy = maskedCopy(event);
    QAccessibleEvent* out = copy ? copy.get() : event;
    if (nextHandler) {
        nextHandler(out);
        return;
    }
    // Without a handler, Qt passes events on to the platform's bridge itself.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(out);
    QAccessible::installUpdateHandler(maskSecretEdits);
}

} // namespace

void installAccessibility() {
    static const bool installed = [] {
        // Asked before Qt Quick's own factory, which stays in charge of everything else.
        QAccessible::installFactory(secretEntryFactory);
        nextHandler = QAccessible::installUpdateHandler(maskSecretEdits);
        return true;
    }();
    Q_UNUSED(installed);
}
