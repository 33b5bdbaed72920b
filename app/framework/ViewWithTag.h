// Finding the views of a window by their integer tag.
//
// A view carries a tag as the integer dynamic property "tag" (set in the
// window's resource). Tags identify the report form's byte fields and
// captions.
#ifndef PINWORTH_EXPLORER_VIEW_WITH_TAG_H
#define PINWORTH_EXPLORER_VIEW_WITH_TAG_H

class QWidget;

namespace explorer {

inline constexpr char kViewTagProperty[] = "tag";

// The nearest widget carrying tag within root, root itself included, searched
// level by level; null when none carries it or root is null.
QWidget *viewWithTag(QWidget *root, int tag);

} // namespace explorer

#endif
