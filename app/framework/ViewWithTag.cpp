#include "app/framework/ViewWithTag.h"

#include <QVariant>
#include <QWidget>

#include <deque>

namespace explorer {

namespace {

bool carriesTag(const QWidget *view, int tag) {
  const QVariant value = view->property(kViewTagProperty);
  bool isInteger = false;
  return value.isValid() && value.toInt(&isInteger) == tag && isInteger;
}

} // namespace

QWidget *viewWithTag(QWidget *root, int tag) {
  std::deque<QWidget *> level;
  if (root)
    level.push_back(root);
  while (!level.empty()) {
    QWidget *view = level.front();
    level.pop_front();
    if (carriesTag(view, tag))
      return view;
    for (QObject *child : view->children()) {
      if (child->isWidgetType())
        level.push_back(static_cast<QWidget *>(child));
    }
  }
  return nullptr;
}

} // namespace explorer
