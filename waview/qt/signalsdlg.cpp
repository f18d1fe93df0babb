#include "waview/qt/signalsdlg.h"

#include <functional>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "waview/qt/wave_look.h"

Waview_SignalsDlg::Waview_SignalsDlg(Waview_FileManager& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setWindowTitle("Signals");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Selected signals will be visible.", this));
    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText("Filter: part of a name, or /regular expression");
    filter_->setClearButtonEnabled(true);
    layout->addWidget(filter_);
    filterError_ = new QLabel(this);
    filterError_->setStyleSheet("color: red");
    filterError_->hide();
    layout->addWidget(filterError_);
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    for (int32_t r : doc.TopRows()) Insert(nullptr, r, 0, true);
    tree_->expandAll();
    connect(filter_, &QLineEdit::textChanged, this, &Waview_SignalsDlg::SetFilter);
    resize(360, 460);
}

void Waview_SignalsDlg::Insert(QTreeWidgetItem* parent, int32_t index, int depth, bool shown) {
    Waview_Hierarchy* row = doc_.Row(index);
    if (!row || depth > 1000) return;
    // A row counts as shown only when its ancestors are shown too.
    shown = shown && row->visible;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, QString::fromStdString(row->name));
    item->setData(0, kWaveRowRole, index);
    item->setIcon(0, RowImage(RowImageIndex(*row)));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
    if (row->GetKind() != kRowComposite) return;
    const auto& children = static_cast<Waview_CompositeHierarchy*>(row)->children;
    for (int32_t c : children)
        if (c != index) Insert(item, c, depth + 1, shown);
    // With children its box follows theirs, and setting it sets them all.
    if (item->childCount() > 0) item->setFlags(item->flags() | Qt::ItemIsAutoTristate);
}

bool Waview_SignalsDlg::Apply() {
    bool changed = false;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        Waview_Hierarchy* row = WaveRowOf(doc_, *it);
        if (!row) continue;
        const int want = (*it)->checkState(0) != Qt::Unchecked ? 1 : 0;
        if ((row->visible != 0) != (want != 0)) {
            row->visible = want;
            changed = true;
        }
    }
    return changed;
}

void Waview_SignalsDlg::SetFilter(const QString& text) {
    std::function<bool(const QString&)> matches;
    filterError_->hide();
    if (text.startsWith('/')) {
        const QRegularExpression re(text.mid(1), QRegularExpression::CaseInsensitiveOption);
        if (!re.isValid()) {
            filterError_->setText(re.errorString());
            filterError_->show();
            return; // keep what is shown until the expression is whole
        }
        matches = [re](const QString& name) { return re.match(name).hasMatch(); };
    } else {
        matches = [text](const QString& name) { return name.contains(text, Qt::CaseInsensitive); };
    }
    // Shown: a match, an ancestor of one, or anything below one.
    std::function<bool(QTreeWidgetItem*, bool)> show = [&](QTreeWidgetItem* item, bool underMatch) {
        const bool self = text.isEmpty() || underMatch || matches(item->text(0));
        bool any = self;
        for (int i = 0; i < item->childCount(); ++i) any = show(item->child(i), self) || any;
        item->setHidden(!any);
        return any;
    };
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) show(tree_->topLevelItem(i), false);
}
