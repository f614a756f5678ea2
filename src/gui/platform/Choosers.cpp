#include "Choosers.h"

#include <QDir>
#include <QFileDialog>
#include <algorithm>

namespace khub::gui {

namespace {
ChooseFileHook& FileHook() {
    static ChooseFileHook hook;
    return hook;
}
BrowseFolderHook& FolderHook() {
    static BrowseFolderHook hook;
    return hook;
}
// The entry as the chooser lists it: "Description (*.a *.b)", or the patterns alone when
// they are the description ("VOLTAW.EXE").
QString FilterEntry(const FileFilter& filter) {
    const QString patterns = filter.patterns.join(' ');
    if (filter.description == patterns) return patterns;
    return QStringLiteral("%1 (%2)").arg(filter.description, patterns);
}
}  // namespace

void SetChooseFileHook(ChooseFileHook hook) {
    FileHook() = std::move(hook);
}
void SetBrowseFolderHook(BrowseFolderHook hook) {
    FolderHook() = std::move(hook);
}

QString ChooseFile(QWidget* owner, const QList<FileFilter>& filters, const QString& initialDir) {
    if (FileHook()) return FileHook()(owner, filters, initialDir);
    QStringList entries;
    for (const FileFilter& f : filters) entries << FilterEntry(f);
    QFileDialog dialog(owner);
    // The desktop's own choosers compare patterns case-sensitively; Qt's compares in any
    // case as long as the filter does not ask for it, and ROMs come as .SMC and .smc.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(entries);
    if (!initialDir.isEmpty()) dialog.setDirectory(initialDir);
    // Wide enough that the longest entry ("Super Nintendo Games (...)") is not cut.
    int widest = 0;
    for (const QString& entry : entries) {
        widest = std::max(widest, dialog.fontMetrics().horizontalAdvance(entry));
    }
    dialog.resize(std::max(dialog.sizeHint().width(), widest + 260), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

QString BrowseForFolder(QWidget* owner, const QString& title) {
    if (FolderHook()) return FolderHook()(owner, title);
    const QString dir = QFileDialog::getExistingDirectory(owner, title);
    return QDir::toNativeSeparators(dir);
}

}  // namespace khub::gui
