#include "app/QtDialogs.h"

#include "app/QtPath.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSortFilterProxyModel>

#include <algorithm>

namespace kestrun {

namespace {

const QString kApplicationTitle = QStringLiteral("Kestrun");

QString TitleOrApplication(const std::string& title)
{
    return title.empty() ? kApplicationTitle : QString::fromStdString(title);
}

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The first button of each set is the default one.
QMessageBox::StandardButtons BoxButtons(MessageButtons buttons, QMessageBox::StandardButton& first)
{
    switch (buttons) {
    case MessageButtons::Ok:
        first = QMessageBox::Ok;
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        first = QMessageBox::Ok;
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        first = QMessageBox::Yes;
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        first = QMessageBox::Yes;
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    first = QMessageBox::Ok;
    return QMessageBox::Ok;
}

MessageAnswer Answer(int button, MessageButtons buttons)
{
    switch (button) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: break;
    }
    // Closed without a button (Esc or the close box): the safe answer.
    if (buttons == MessageButtons::YesNo)
        return MessageAnswer::No;
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

// What a title bar holds besides its text: the window's icon and its
// buttons, with their spacing, in the usual themes.
constexpr int kTitleBarControls = 150;
// What a message box holds beside its text: the icon and the margins.
constexpr int kIconAndMargins = 150;

// The width Qt allows a message box at most (QMessageBox's own limit).
int WidestMessageBox(const QScreen* screen)
{
    const int available = screen ? screen->availableGeometry().width() : 1024;
    return available <= 1024 ? available : std::min(available - 480, 1000);
}

// A message box lays its text out in at most 500 pixels and wraps longer
// lines: wide enough for its longest line instead, within what the screen
// allows, and for its title, which the window manager cuts short otherwise.
void FitWidth(QMessageBox& box)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!label || !grid)
        return;
    const bool wrapped = label->wordWrap();
    label->setWordWrap(false);
    const int unwrapped = label->sizeHint().width();
    label->setWordWrap(wrapped);
    const int limit = WidestMessageBox(box.screen()) - kIconAndMargins;
    label->setMinimumWidth(std::min(unwrapped, limit));

    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int title = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarControls;
    grid->addItem(new QSpacerItem(std::min(title, limit), 0), grid->rowCount(), 0, 1, grid->columnCount());
}

// Shows, while `active`, only the folders and the files Kestrun starts as
// programs: those the user may run, and those whose names match the patterns.
class ProgramFiles final : public QSortFilterProxyModel {
public:
    explicit ProgramFiles(const std::vector<std::string>& patterns, QObject* parent)
        : QSortFilterProxyModel(parent)
    {
        for (const std::string& pattern : patterns)
            patterns_.push_back(QRegularExpression(
                QRegularExpression::wildcardToRegularExpression(QString::fromStdString(pattern)),
                QRegularExpression::CaseInsensitiveOption));
    }

    // The file model sorts as the chooser usually shows its files, folders
    // first; this list keeps that order.
    void sort(int column, Qt::SortOrder order) override
    {
        if (sourceModel())
            sourceModel()->sort(column, order);
    }

    void SetActive(bool active)
    {
        if (active == active_)
            return;
        active_ = active;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!active_ || !files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        if (info.isDir() || info.isExecutable())
            return true;
        return std::any_of(patterns_.begin(), patterns_.end(), [&info](const QRegularExpression& pattern) {
            return pattern.match(info.fileName()).hasMatch();
        });
    }

private:
    std::vector<QRegularExpression> patterns_;
    bool active_ = false;
};

}  // namespace

QWidget* QtDialogs::Owner() const
{
    // A dialog belongs to the window the user is working in, so that closing
    // it gives that window the keyboard back.
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : owner_;
}

std::string FilterText(const std::vector<FileFilter>& filters)
{
    std::string text;
    for (const FileFilter& filter : filters) {
        if (!text.empty())
            text += ";;";
        text += filter.label + " (";
        // A program may have any name: the chooser itself picks them out.
        if (filter.programs)
            text += "*";
        else
            for (std::size_t i = 0; i < filter.patterns.size(); ++i)
                text += (i ? " " : "") + filter.patterns[i];
        text += ")";
    }
    return text;
}

MessageAnswer QtDialogs::Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                                 const std::string& title)
{
    QMessageBox::StandardButton first = QMessageBox::Ok;
    const QMessageBox::StandardButtons set = BoxButtons(buttons, first);
    QMessageBox box(BoxIcon(icon), TitleOrApplication(title), QString::fromStdString(text), set, Owner());
    box.setDefaultButton(first);
    box.setTextFormat(Qt::PlainText);
    FitWidth(box);
    return Answer(box.exec(), buttons);
}

std::optional<std::string> QtDialogs::Input(const std::string& prompt, const std::string& title,
                                            const std::string& initialText)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(Owner(), TitleOrApplication(title), QString::fromStdString(prompt),
                                               QLineEdit::Normal, QString::fromStdString(initialText), &accepted);
    if (!accepted)
        return std::nullopt;
    return text.toStdString();
}

std::optional<std::string> QtDialogs::OpenFile(const std::string& title, const std::vector<FileFilter>& filters,
                                               const std::string& initialPath)
{
    QFileDialog dialog(Owner(), TitleOrApplication(title), QString::fromStdString(initialPath),
                       QString::fromStdString(FilterText(filters)));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const auto programs = std::find_if(filters.begin(), filters.end(), [](const FileFilter& f) { return f.programs; });
    if (programs != filters.end()) {
        // Picking out the programs needs Qt's own chooser; the details of a
        // filter, "(*)" for programs, would only mislead.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        auto* proxy = new ProgramFiles(programs->patterns, &dialog);
        dialog.setProxyModel(proxy);
        // Without its details the chooser names the filter by its label.
        const QStringList names = {QString::fromStdString(FilterText({*programs})),
                                   QString::fromStdString(programs->label)};
        const auto follow = [proxy, &dialog, names] { proxy->SetActive(names.contains(dialog.selectedNameFilter())); };
        QObject::connect(&dialog, &QFileDialog::filterSelected, proxy, follow);
        follow();
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return PathOfQt(QDir::toNativeSeparators(dialog.selectedFiles().constFirst())).string();
}

}  // namespace kestrun
