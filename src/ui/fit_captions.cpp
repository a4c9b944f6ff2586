#include "ui/fit_captions.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <map>
#include <vector>

namespace plovant {
namespace {

struct Item {
    QWidget* widget;
    QRect designed;
    int needed;      // the width its text needs; 0 for widgets that have none
    bool stretches;  // a text field that reached the contents' right edge
    QRect placed;
};

bool SameHeight(const QRect& a, const QRect& b) {
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}

int NeededWidth(QWidget* widget, int gap, int right_margin) {
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        const int inner = FitCaptions(group, gap, right_margin);
        return std::max(inner, group->minimumSizeHint().width());
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The hint follows the entries as they are now, not as they were when first asked.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return combo->sizeHint().width();
    }
    if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLabel*>(widget)) {
        return widget->sizeHint().width();
    }
    return 0;
}

}  // namespace

int FitCaptions(QWidget* parent, int gap, int right_margin) {
    std::vector<Item> items;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) continue;
        items.push_back(
            {child, child->geometry(), NeededWidth(child, gap, right_margin), false, {}});
    }
    if (items.empty()) return right_margin;

    int designed_right = 0;
    for (const Item& item : items) designed_right = std::max(designed_right, item.designed.right());
    for (Item& item : items) {
        item.stretches =
            qobject_cast<QLineEdit*>(item.widget) && item.designed.right() == designed_right;
    }

    // Columns in order of their left edge.
    std::map<int, std::vector<Item*>> columns;
    for (Item& item : items) columns[item.designed.left()].push_back(&item);

    std::vector<const Item*> placed;
    for (auto& [left, column] : columns) {
        int x = left;
        for (const Item* item : column) {
            for (const Item* before : placed) {
                if (SameHeight(item->designed, before->designed)) {
                    x = std::max(x, before->placed.right() + 1 + gap);
                }
            }
        }
        for (Item* item : column) {
            // Room up to the next widget at the same height, as designed.
            int width = item->designed.width();
            for (const Item& after : items) {
                if (after.designed.left() > left && SameHeight(item->designed, after.designed)) {
                    width = std::min(width, after.designed.left() - gap - left);
                }
            }
            width = std::max(width, item->needed);
            if (item->needed == 0) width = item->designed.width();
            item->placed = QRect(x, item->designed.top(), width, item->designed.height());
            placed.push_back(item);
        }
    }

    int right = 0;
    for (const Item& item : items) {
        if (!item.stretches) right = std::max(right, item.placed.right());
    }
    for (Item& item : items) {
        if (item.stretches) item.placed.setRight(std::max(item.placed.right(), right));
        right = std::max(right, item.placed.right());
    }
    for (const Item& item : items) item.widget->setGeometry(item.placed);
    return right + 1 + right_margin;
}

}  // namespace plovant
