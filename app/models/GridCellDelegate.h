// How a grid cell draws its text. A number too wide for its column is shown
// in a shorter form of the same value (fewer decimals, or fewer mantissa
// digits beside its exponent), never cut: the sign, the leading digits and
// the exponent always show. Other text is elided as usual; the full text of
// every cell is in its tooltip.
#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The text of a number as it fits `width` pixels: `text` itself when it
    // fits, else the longest shorter form that fits, else "#" marks. Text
    // that is not a number is returned as it is.
    static QString FitNumber(const QString& text, const QFontMetrics& metrics, int width);
    // Room beside the text on each side of a cell.
    static int TextMargin(const QWidget* widget);
    // The text the cell at `index` shows in `option`'s rectangle.
    QString ShownText(QStyleOptionViewItem option, const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
