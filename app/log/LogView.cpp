#include "app/log/LogView.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

namespace explorer {

namespace {

// Texts this long or shorter are kept laid out, at most kLaidOutCount.
constexpr qsizetype kLaidOutLength = 4;
constexpr qsizetype kLaidOutCount = 1024;

} // namespace

LogView::LogView(QWidget *parent)
    : QAbstractItemView(parent), header_(new QHeaderView(Qt::Horizontal, this)),
      indicator_(new QPushButton(this)) {
  setSelectionBehavior(SelectRows);
  setSelectionMode(ExtendedSelection);
  setVerticalScrollMode(ScrollPerPixel);
  setHorizontalScrollMode(ScrollPerPixel);
  setAlternatingRowColors(true);
  header_->setSectionsMovable(true);
  header_->setHighlightSections(false);
  header_->setSectionsClickable(false);
  connect(header_, &QHeaderView::sectionResized, this, [this] {
    updateGeometries();
    viewport()->update();
  });
  connect(header_, &QHeaderView::sectionMoved, viewport(),
          qOverload<>(&QWidget::update));
  connect(header_, &QHeaderView::geometriesChanged, this,
          &LogView::updateGeometries);
  // The scroll bars move with every frame of new rows: painting their own
  // background spares the frames and group box behind them.
  verticalScrollBar()->setAutoFillBackground(true);
  horizontalScrollBar()->setAutoFillBackground(true);
  indicator_->hide();
  indicator_->setAccessibleName(QStringLiteral("Jump to the newest report"));
  connect(indicator_, &QPushButton::clicked, this, &LogView::jumpToEnd);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (isAtBottom())
      showUnseen(0);
  });
}

void LogView::setModel(QAbstractItemModel *model) {
  QAbstractItemView::setModel(model);
  header_->setModel(model);
  updateGeometries();
}

int LogView::rowHeight() const {
  return fontMetrics().height() + 4;
}

bool LogView::isAtBottom() const {
  return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void LogView::jumpToEnd() {
  if (selectionModel())
    selectionModel()->clearSelection();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  showUnseen(0);
}

QRect LogView::visualRect(const QModelIndex &index) const {
  if (!index.isValid())
    return QRect();
  return QRect(header_->sectionViewportPosition(index.column()),
               index.row() * rowHeight() - verticalOffset(),
               header_->sectionSize(index.column()), rowHeight());
}

void LogView::scrollTo(const QModelIndex &index, ScrollHint hint) {
  if (!index.isValid())
    return;
  const int top = index.row() * rowHeight();
  const int height = viewport()->height();
  QScrollBar *bar = verticalScrollBar();
  if (hint == PositionAtTop || (hint == EnsureVisible && top < bar->value()))
    bar->setValue(top);
  else if (hint == PositionAtBottom ||
           (hint == EnsureVisible && top + rowHeight() > bar->value() + height))
    bar->setValue(top + rowHeight() - height);
  else if (hint == PositionAtCenter)
    bar->setValue(top - (height - rowHeight()) / 2);
}

QModelIndex LogView::indexAt(const QPoint &point) const {
  if (!model() || point.y() < 0)
    return QModelIndex();
  const int row = (point.y() + verticalOffset()) / rowHeight();
  const int column = header_->logicalIndexAt(point.x());
  if (row >= model()->rowCount(rootIndex()) || column < 0)
    return QModelIndex();
  return model()->index(row, column, rootIndex());
}

QModelIndex LogView::moveCursor(CursorAction cursorAction,
                                Qt::KeyboardModifiers) {
  const int rows = model() ? model()->rowCount(rootIndex()) : 0;
  if (rows == 0)
    return QModelIndex();
  const QModelIndex current = currentIndex();
  const int row = current.isValid() ? current.row() : 0;
  const int page = std::max(1, viewport()->height() / rowHeight());
  int next = row;
  switch (cursorAction) {
  case MoveUp:
  case MovePrevious:
    next = row - 1;
    break;
  case MoveDown:
  case MoveNext:
    next = row + 1;
    break;
  case MovePageUp:
    next = row - page;
    break;
  case MovePageDown:
    next = row + page;
    break;
  case MoveHome:
    next = 0;
    break;
  case MoveEnd:
    next = rows - 1;
    break;
  default:
    break;
  }
  return model()->index(std::clamp(next, 0, rows - 1),
                        current.isValid() ? current.column() : 0, rootIndex());
}

int LogView::horizontalOffset() const {
  return horizontalScrollBar()->value();
}

int LogView::verticalOffset() const {
  return verticalScrollBar()->value();
}

void LogView::setSelection(const QRect &rect,
                           QItemSelectionModel::SelectionFlags command) {
  const int rows = model() ? model()->rowCount(rootIndex()) : 0;
  if (rows == 0)
    return;
  const QRect normal = rect.normalized();
  const int first =
      std::clamp((normal.top() + verticalOffset()) / rowHeight(), 0, rows - 1);
  const int last = std::clamp(
      (normal.bottom() + verticalOffset()) / rowHeight(), 0, rows - 1);
  const int lastColumn = model()->columnCount(rootIndex()) - 1;
  selectionModel()->select(
      QItemSelection(model()->index(first, 0, rootIndex()),
                     model()->index(last, lastColumn, rootIndex())),
      command | QItemSelectionModel::Rows);
}

QRegion
LogView::visualRegionForSelection(const QItemSelection &selection) const {
  QRegion region;
  for (const QItemSelectionRange &range : selection)
    region += QRect(0, range.top() * rowHeight() - verticalOffset(),
                    viewport()->width(),
                    (range.bottom() - range.top() + 1) * rowHeight());
  return region;
}

void LogView::updateGeometries() {
  if (updatingGeometries_)
    return;
  const QScopedValueRollback busy(updatingGeometries_, true);
  const int headerHeight = header_->sizeHint().height();
  setViewportMargins(0, headerHeight, 0, 0);
  const QRect area = viewport()->geometry();
  header_->setGeometry(area.left(), area.top() - headerHeight, area.width(),
                       headerHeight);
  header_->setOffset(horizontalOffset());
  const int rows = model() ? model()->rowCount(rootIndex()) : 0;
  verticalScrollBar()->setPageStep(area.height());
  verticalScrollBar()->setSingleStep(rowHeight());
  verticalScrollBar()->setRange(
      0, std::max(0, rows * rowHeight() - area.height()));
  horizontalScrollBar()->setPageStep(area.width());
  horizontalScrollBar()->setSingleStep(20);
  horizontalScrollBar()->setRange(
      0, std::max(0, header_->length() - area.width()));
  placeIndicator();
  QAbstractItemView::updateGeometries();
}

void LogView::scrollContentsBy(int dx, int dy) {
  if (dx)
    header_->setOffset(horizontalOffset());
  viewport()->scroll(dx, dy);
}

void LogView::rowsInserted(const QModelIndex &parent, int start, int end) {
  const bool follow = isAtBottom() && !selectionModel()->hasSelection();
  QAbstractItemView::rowsInserted(parent, start, end);
  updateGeometries();
  if (follow)
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  else
    showUnseen(unseen_ + end - start + 1);
  viewport()->update();
}

void LogView::reset() {
  QAbstractItemView::reset();
  showUnseen(0);
  updateGeometries();
}

void LogView::showUnseen(int count) {
  unseen_ = count;
  indicator_->setVisible(count > 0);
  if (count > 0) {
    indicator_->setText((count == 1
                             ? QStringLiteral("1 new report")
                             : QStringLiteral("%1 new reports").arg(count)) +
                        QStringLiteral(" \u2193"));
    placeIndicator();
  }
}

void LogView::placeIndicator() {
  indicator_->adjustSize();
  const QRect area = viewport()->geometry();
  indicator_->move(area.right() - indicator_->width() - 8,
                   area.bottom() - indicator_->height() - 8);
  indicator_->raise();
}

namespace {

bool IsPrintableAscii(const QString &text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) {
    return c.unicode() >= 0x20 && c.unicode() < 0x7f;
  });
}

} // namespace

const QStaticText &LogView::laidOut(const QPainter &painter,
                                    const QString &text) {
  auto laid = laidOut_.find(text);
  if (laid == laidOut_.end()) {
    if (laidOut_.size() >= kLaidOutCount)
      laidOut_.clear();
    laid = laidOut_.insert(text, QStaticText(text));
    laid->prepare(painter.transform(), painter.font());
  }
  return *laid;
}

const QStaticText &LogView::elided(const QPainter &painter, const QString &text,
                                   int width) {
  auto laid = elided_.find(text);
  if (laid == elided_.end() || laid->width != width) {
    if (elided_.size() >= kLaidOutCount)
      elided_.clear();
    // Only a text wider than its advance allows is cut: Qt's eliding also
    // takes in the last glyph's overhang, and the columns are fitted to
    // advances.
    const QFontMetrics metrics = painter.fontMetrics();
    QStaticText elidedText(metrics.horizontalAdvance(text) > width
                               ? metrics.elidedText(text, Qt::ElideRight, width)
                               : text);
    elidedText.prepare(painter.transform(), painter.font());
    laid = elided_.insert(text, {width, elidedText});
  }
  return laid->text;
}

// A text that does not fit its cell is cut, with an ellipsis to show that it
// is. The columns are fitted to texts' advances, as this measures them (a
// text's box, and Qt's own eliding, also take in the last glyph's overhang).
void LogView::drawCell(QPainter &painter, const QRect &rect,
                       const QString &text, Qt::Alignment alignment) {
  if (text.isEmpty())
    return;
  const auto left = [&](qreal width) {
    return alignment & Qt::AlignLeft ? rect.left()
                                     : rect.left() + (rect.width() - width) / 2;
  };
  const QStaticText *laid = nullptr;
  if (text.size() <= kLaidOutLength) {
    laid = &laidOut(painter, text);
  } else {
    // Counted where every character has the same advance: shaping a text
    // twice, to measure and to draw it, was most of the cost of a frame of
    // new rows.
    const bool counted = fixedPitch_ && IsPrintableAscii(text);
    const qreal width = counted ? text.size() * fixedPitch_->advance
                                : painter.fontMetrics().horizontalAdvance(text);
    if (width <= rect.width()) {
      if (counted)
        painter.drawText(
            QPointF(left(width), rect.top() +
                                     (rect.height() - fixedPitch_->height) / 2 +
                                     fixedPitch_->ascent),
            text);
      else
        painter.drawText(rect, int(alignment), text);
      return;
    }
  }
  if (!laid || laid->size().width() > rect.width())
    laid = &elided(painter, text, rect.width());
  const QSizeF size = laid->size();
  painter.drawStaticText(
      QPointF(left(size.width()),
              rect.top() + (rect.height() - size.height()) / 2),
      *laid);
}

// A text is cut where its advance is wider than its cell, as drawCell()
// cuts it.
bool LogView::viewportEvent(QEvent *event) {
  if (event->type() != QEvent::ToolTip || !model())
    return QAbstractItemView::viewportEvent(event);
  const auto *help = static_cast<QHelpEvent *>(event);
  const QModelIndex index = indexAt(help->pos());
  const QString text = index.isValid() ? model()->data(index).toString() : "";
  const QRect cell = visualRect(index);
  if (!text.isEmpty() &&
      fontMetrics().horizontalAdvance(text) > cell.width() - 2 * kCellPadding)
    QToolTip::showText(help->globalPos(), text, viewport(), cell);
  else
    QToolTip::hideText();
  return true;
}

void LogView::paintEvent(QPaintEvent *) {
  if (!model())
    return;
  QPainter painter(viewport());
  // The view's font, to which the columns were fitted: a style sheet sets
  // the viewport's own to the application's.
  painter.setFont(font());
  const QFontMetricsF metrics(font());
  const qreal advance = metrics.horizontalAdvance(QLatin1Char('0'));
  fixedPitch_.reset();
  if (QFontInfo(font()).fixedPitch() &&
      metrics.horizontalAdvance(QLatin1Char('i')) == advance &&
      metrics.horizontalAdvance(QLatin1Char('W')) == advance)
    fixedPitch_ = FixedPitch{advance, metrics.ascent(), metrics.height()};
  if (painter.font() != laidOutFont_) {
    laidOut_.clear();
    elided_.clear();
    laidOutFont_ = painter.font();
  }
  const int rows = model()->rowCount(rootIndex());
  const int height = rowHeight();
  const int first = verticalOffset() / height;
  const int last =
      std::min(rows - 1, (verticalOffset() + viewport()->height()) / height);
  const QPalette &colours = palette();
  for (int row = first; row <= last; ++row) {
    const QRect line(0, row * height - verticalOffset(), viewport()->width(),
                     height);
    const bool selected =
        selectionModel() && selectionModel()->isRowSelected(row, rootIndex());
    painter.fillRect(line, selected ? colours.highlight()
                           : row % 2 && alternatingRowColors()
                               ? colours.alternateBase()
                               : colours.base());
    painter.setPen(selected ? colours.highlightedText().color()
                            : colours.text().color());
    for (int visual = 0; visual < header_->count(); ++visual) {
      const int column = header_->logicalIndex(visual);
      if (header_->isSectionHidden(column))
        continue;
      const QRect cell(header_->sectionViewportPosition(column), line.top(),
                       header_->sectionSize(column), height);
      if (cell.right() < 0 || cell.left() > viewport()->width())
        continue;
      const QModelIndex index = model()->index(row, column, rootIndex());
      const auto alignment =
          Qt::Alignment(model()->data(index, Qt::TextAlignmentRole).toInt());
      drawCell(painter, cell.adjusted(kCellPadding, 0, -kCellPadding, 0),
               model()->data(index).toString(), alignment);
    }
    if (currentIndex().row() == row && hasFocus())
      painter.drawRect(line.adjusted(0, 0, -1, -1));
  }
}

} // namespace explorer
