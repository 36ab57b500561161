#include "ui/TaskPanel.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char kCaptionStyle[] =
    "QPushButton { text-align: left; padding: 6px 10px; border: none; border-radius: 4px;"
    " background: #d6dff7; color: #215dc6; font-weight: bold; }";
const char kSpecialCaptionStyle[] =
    "QPushButton { text-align: left; padding: 6px 10px; border: none; border-radius: 4px;"
    " background: #2d62d6; color: white; font-weight: bold; }";
const char kLinkStyle[] =
    "QPushButton { text-align: left; padding: 3px 10px; border: none; color: #215dc6; }"
    "QPushButton:hover { color: #428eff; text-decoration: underline; }"
    "QPushButton:focus { text-decoration: underline; }";

}  // namespace

CTaskPanel::CTaskPanel(QWidget* parent) : QWidget(parent), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(8, 8, 8, 8);
    m_layout->setSpacing(6);
    m_layout->addStretch(1);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0x7b, 0xa2, 0xe7));
    setPalette(p);
}

void CTaskPanel::AddGroup(int id, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::number(id));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(kCaptionStyle);
    auto* body = new QWidget(this);
    body->setAutoFillBackground(true);
    QPalette p = body->palette();
    p.setColor(QPalette::Window, QColor(0xd6, 0xdf, 0xf7));
    body->setPalette(p);
    auto* items = new QVBoxLayout(body);
    items->setContentsMargins(4, 4, 4, 4);
    items->setSpacing(2);
    // Before the stretch that keeps the groups at the top.
    m_layout->insertWidget(m_layout->count() - 1, button);
    m_layout->insertWidget(m_layout->count() - 1, body);
    m_groups.push_back({id, button, body, items, {}});
    connect(button, &QPushButton::clicked, this, [this, id] {
        if (Group* g = FindGroup(id))
            SetGroupExpanded(id, g->body->isHidden());
        emit notify(kGroupToggled, id);
    });
}

void CTaskPanel::AddLinkItem(int id, const QString& caption) {
    if (m_groups.empty())
        return;
    Group& g = m_groups.back();
    auto* link = new QPushButton(caption, g.body);
    link->setObjectName(QString::number(id));
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(kLinkStyle);
    g.items->addWidget(link);
    g.itemIds.push_back(id);
    connect(link, &QPushButton::clicked, this, [this, id] { emit notify(kItemClicked, id); });
}

void CTaskPanel::SetSpecialGroup(int id, bool special) {
    if (Group* g = FindGroup(id))
        g->caption->setStyleSheet(special ? kSpecialCaptionStyle : kCaptionStyle);
}

void CTaskPanel::SetGroupExpanded(int id, bool expanded) {
    if (Group* g = FindGroup(id))
        g->body->setVisible(expanded);
}

QWidget* CTaskPanel::Item(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

std::vector<int> CTaskPanel::ItemIds(int groupId) const {
    const Group* g = FindGroup(groupId);
    return g != nullptr ? g->itemIds : std::vector<int>();
}

CTaskPanel::Group* CTaskPanel::FindGroup(int id) {
    for (Group& g : m_groups)
        if (g.id == id)
            return &g;
    return nullptr;
}

const CTaskPanel::Group* CTaskPanel::FindGroup(int id) const {
    for (const Group& g : m_groups)
        if (g.id == id)
            return &g;
    return nullptr;
}
