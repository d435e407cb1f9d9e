#include "models/GridCellDelegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vb/Conversions.h"

namespace {

// The value of a cell's text when it is a number as the grid writes them
// ("-1.25", "3E+15", "1.1659E-41"), in the C locale.
bool ParseNumber(const QString& text, double& value) {
    const std::string s = text.toStdString();
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(value) &&
           s.find_first_not_of("0123456789+-.E") == std::string::npos;
}

// `value` with `decimals` digits after the point, trailing zeros dropped.
QString Fixed(double value, int decimals) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string out = buffer;
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0') out.pop_back();
        if (out.back() == '.') out.pop_back();
    }
    return QString::fromStdString(out);
}

}  // namespace

QString GridCellDelegate::FitNumber(const QString& text, const QFontMetrics& metrics, int width) {
    double value;
    if (metrics.horizontalAdvance(text) <= width || !ParseNumber(text, value) || value == 0) return text;
    std::vector<QString> forms;
    // Without an exponent: fewer decimals, keeping at least one significant digit.
    const qsizetype point = text.indexOf('.');
    if (!text.contains('E') && point >= 0) {
        const int decimals = int(text.size() - point - 1);
        std::string digits;
        int exponent;
        vb::SplitDigits(value, 15, digits, exponent);
        const int fewest = exponent < 0 ? -exponent : 0;
        for (int d = decimals - 1; d >= fewest; --d) forms.push_back(Fixed(value, d));
    }
    // With an exponent: fewer mantissa digits.
    for (int precision = 15; precision >= 1; --precision)
        forms.push_back(QString::fromStdString(vb::ScientificText(value, precision)));
    for (const QString& form : forms)
        if (metrics.horizontalAdvance(form) <= width) return form;
    // Not even one digit and the exponent fit: say so rather than mislead.
    const int mark = std::max(1, metrics.horizontalAdvance('#'));
    return QString(std::max(1, width / mark), '#');
}

int GridCellDelegate::TextMargin(const QWidget* widget) {
    // As the style lays out an item's text.
    QStyle* style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

QString GridCellDelegate::ShownText(QStyleOptionViewItem option, const QModelIndex& index) const {
    initStyleOption(&option, index);
    return option.text;
}

void GridCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // Numbers are the right-aligned cells.
    if (option->text.isEmpty() || !(option->displayAlignment & Qt::AlignRight) || option->rect.width() <= 0) return;
    option->text = FitNumber(option->text, option->fontMetrics, option->rect.width() - 2 * TextMargin(option->widget));
}
