#pragma once
// The mixture list of the open run: one checkable row per mixture, in the
// eleven columns of the main window.
#include <QAbstractTableModel>
#include <vector>

#include "sampler/mixture_rows.h"

namespace mixora::gui {

class MixtureListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kColumnCount = 11;
  // Header texts and widths (pixels at 96 dpi).
  static const char* const kHeaders[kColumnCount];
  static const int kWidths[kColumnCount];

  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<MixtureRow> rows);
  void clear();
  const std::vector<MixtureRow>& rows() const { return rows_; }
  void setRow(int index, const MixtureRow& row);

  int markedCount() const;
  std::vector<int> marked() const;
  bool isMarked(int index) const;
  void setMarked(int index, bool marked);
  // Mark All, UnMark All, Toggle All Marks.
  void markAll(bool marked);
  void toggleAll();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 Q_SIGNALS:
  // The checked state of one or more rows changed.
  void marksChanged();

 private:
  std::vector<MixtureRow> rows_;
};

}  // namespace mixora::gui
