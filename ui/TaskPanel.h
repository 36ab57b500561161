// The navigation panel on the left of the main window: captioned groups of
// clickable link items. A click on an item is reported to the owner with the
// item's id; clicking a group's caption collapses or expands it.
#pragma once

#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

class CTaskPanel : public QWidget {
    Q_OBJECT

public:
    // Notification codes of notify().
    static constexpr int kItemClicked = 1;
    static constexpr int kGroupToggled = 2;

    explicit CTaskPanel(QWidget* parent = nullptr);

    // Adds a group at the end; items are added to the newest group.
    void AddGroup(int id, const QString& caption);
    void AddLinkItem(int id, const QString& caption);
    // Marks the group as the special one: its caption is emphasised.
    void SetSpecialGroup(int id, bool special = true);
    void SetGroupExpanded(int id, bool expanded);

    // The widget of a group caption or a link item, or nullptr.
    QWidget* Item(int id) const;
    // The ids of the link items of group `id`, in their order.
    std::vector<int> ItemIds(int groupId) const;

signals:
    // code kItemClicked with a link item's id, kGroupToggled with a group's.
    void notify(int code, int id);

private:
    struct Group {
        int id;
        QPushButton* caption;
        QWidget* body;
        QVBoxLayout* items;
        std::vector<int> itemIds;
    };
    Group* FindGroup(int id);
    const Group* FindGroup(int id) const;

    QVBoxLayout* m_layout;
    std::vector<Group> m_groups;
};
