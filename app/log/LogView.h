// The view of the report log: a table of fixed-height rows under a header
// whose sections can be moved, resized, hidden and shown.
//
// It paints only the rows in sight and keeps no state per row, so a paint,
// an append and the memory it needs do not grow with the log (a QTableView's
// vertical header walks and stores every row). Rows are selected whole;
// several can be.
//
// Follow mode: while the view is scrolled to the bottom and no row is
// selected, new rows scroll into sight; otherwise the view stays where the
// user left it, and a button in its corner counts the rows that arrived since
// and jumps to the end (clearing the selection) when clicked.
#ifndef PINWORTH_EXPLORER_LOG_VIEW_H
#define PINWORTH_EXPLORER_LOG_VIEW_H

#include <QAbstractItemView>
#include <QFont>
#include <QHash>
#include <QStaticText>

#include <optional>

class QHeaderView;
class QPushButton;

namespace explorer {

class LogView : public QAbstractItemView {
  Q_OBJECT
public:
  // The space left and right of a cell's text.
  static constexpr int kCellPadding = 4;

  explicit LogView(QWidget *parent = nullptr);

  void setModel(QAbstractItemModel *model) override;
  QHeaderView *horizontalHeader() const { return header_; }
  int rowHeight() const;
  // Rows appended since the view stopped following.
  int unseenRows() const { return unseen_; }
  bool isAtBottom() const;
  // Scrolls to the last row and follows again.
  void jumpToEnd();

  QRect visualRect(const QModelIndex &index) const override;
  void scrollTo(const QModelIndex &index,
                ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint &point) const override;

protected:
  QModelIndex moveCursor(CursorAction cursorAction,
                         Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex &) const override { return false; }
  void setSelection(const QRect &rect,
                    QItemSelectionModel::SelectionFlags command) override;
  QRegion
  visualRegionForSelection(const QItemSelection &selection) const override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void paintEvent(QPaintEvent *event) override;
  // A cell whose text is cut shows it whole as its tooltip.
  bool viewportEvent(QEvent *event) override;
  void rowsInserted(const QModelIndex &parent, int start, int end) override;
  void reset() override;

private:
  void placeIndicator();
  void showUnseen(int count);
  // Short texts (bytes, report IDs, directions) are laid out once; longer
  // ones in a font of fixed pitch are measured by counting.
  void drawCell(QPainter &painter, const QRect &rect, const QString &text,
                Qt::Alignment alignment);
  // The text laid out, kept for the next frames.
  const QStaticText &laidOut(const QPainter &painter, const QString &text);
  // The text cut to width with an ellipsis, laid out and kept.
  const QStaticText &elided(const QPainter &painter, const QString &text,
                            int width);

  QHeaderView *header_;
  QPushButton *indicator_;
  int unseen_ = 0;
  // Placing the margins and scroll bars resizes the viewport, which asks for
  // the geometries again; on a view too small for both scroll bars that
  // would not end.
  bool updatingGeometries_ = false;
  QHash<QString, QStaticText> laidOut_;
  struct Elided {
    int width;
    QStaticText text;
  };
  QHash<QString, Elided> elided_;
  QFont laidOutFont_; // the font of both
  // The painted font's, when every character of it has the same advance.
  struct FixedPitch {
    qreal advance;
    qreal ascent;
    qreal height;
  };
  std::optional<FixedPitch> fixedPitch_;
};

} // namespace explorer

#endif
