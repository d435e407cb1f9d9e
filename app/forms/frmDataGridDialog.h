// frmDataGridDialog: the modal twin of frmDataGrid, sized over the frame, in
// which the wizard's source page previews a table or saved query.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

class DataGridModel;
class DataGridView;

class frmDataGridDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmDataGridDialog(QWidget* parent = nullptr);
    ~frmDataGridDialog() override;

    // Opens the table and shows the window modally, captioned
    // "<Caption>: <TableName>"; or tells why it cannot and closes the window.
    void ShowTableData(const std::string& TableName, const std::string& Caption);

    DataGridView* Grid() const { return grdDataGrid_; }
    DataGridModel* Model() const { return datRS_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    DataGridView* grdDataGrid_;
    std::unique_ptr<DataGridModel> datRS_;
};
