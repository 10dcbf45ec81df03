#include "app/access.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QVariant>

#include "app/controls.h"

namespace pelmora::app {

namespace {

constexpr char kRoleProperty[] = "pelmoraAccessibleRole";

// One row of the distribution list: its caption, where it is, whether it is
// selected, and the action that selects it as a click does.
class ListRow : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ListRow(TListBox* list, int row) : list_(list), row_(row) {}

    int row() const { return row_; }

    bool isValid() const override { return list_ != nullptr && row_ < list_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid()) return {};
        return list_->item(row_)->text();
    }

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect shown = list_->visualItemRect(list_->item(row_));
        return QRect(list_->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        QListWidgetItem* item = list_->item(row_);
        state.selectable = true;
        state.focusable = true;
        state.selected = item->isSelected();
        state.focused = list_->hasFocus() && list_->currentItem() == item;
        state.disabled = !list_->isEnabled();
        state.offscreen = !list_->viewport()->rect().intersects(list_->visualItemRect(item));
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    // Qt's own list rows name their action "Toggle"; a single-selection row
    // cannot be deselected, so it selects.
    QStringList actionNames() const override { return {toggleAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override {
        if (name == toggleAction() && isValid() && list_->isEnabled()) list_->setCurrentRow(row_);
    }

private:
    QPointer<TListBox> list_;
    int row_;
};

// The distribution list: a list named by its frame's caption ("labelled by"
// the frame, as QAccessibleWidget relates a widget to its group box), whose
// children are its rows. A row selected through it is selected as by the
// user: the list reports every change of the selected row (TListBox::Click).
class List : public QAccessibleWidget {
public:
    explicit List(TListBox* list) : QAccessibleWidget(list, QAccessible::List) {}
    ~List() override {
        for (QAccessible::Id id : std::as_const(rows_)) QAccessible::deleteAccessibleInterface(id);
    }

    TListBox* list() const { return static_cast<TListBox*>(widget()); }

    int childCount() const override { return list()->count(); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        if (const auto known = rows_.constFind(index); known != rows_.constEnd())
            if (QAccessibleInterface* row = QAccessible::accessibleInterface(*known)) return row;
        auto* row = new ListRow(list(), index);
        rows_.insert(index, QAccessible::registerAccessibleInterface(row));
        return row;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* row = dynamic_cast<const ListRow*>(child);
        return row != nullptr && row->parent() == this ? row->row() : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }

    QAccessibleInterface* focusChild() const override {
        return list()->hasFocus() ? child(list()->currentRow()) : nullptr;
    }

private:
    mutable QHash<int, QAccessible::Id> rows_;
};

QAccessibleInterface* Interface(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (auto* list = qobject_cast<TListBox*>(widget)) return new List(list);
    if (const QVariant role = widget->property(kRoleProperty); role.isValid())
        return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}

}  // namespace

void UseAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(Interface);
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) { widget->setProperty(kRoleProperty, int(role)); }

}  // namespace pelmora::app
