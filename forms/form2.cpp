#include "forms/form2.h"

#include <QAction>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include "editor/sourcedocument.h"
#include "engine/textfile.h"
#include "forms/form1.h"
#include "forms/twipsgeometry.h"
#include "forms/warning.h"

using namespace Qt::StringLiterals;

namespace forms {

namespace {

constexpr int kPathRole = Qt::UserRole;
const QString kPattern = u"*.html"_s;

QString lastName(const QString &path)
{
    const QString clean = QDir::fromNativeSeparators(path);
    const qsizetype slash = clean.lastIndexOf(u'/');
    if (slash < 0 || slash == clean.size() - 1)
        return path;  // a root keeps its whole name
    return clean.sliced(slash + 1);
}

}  // namespace

QString Form2::namePrompt()
{
    return u"ファイル名を入れてください"_s;
}

Form2::Form2(Form1 &form1)
    : QWidget(&form1, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_form1(form1)
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"read&write"_s);

    m_dir1 = new QListWidget(this);
    m_dir1->setObjectName(u"Dir1"_s);
    m_drive1 = new QComboBox(this);
    m_drive1->setObjectName(u"Drive1"_s);
    m_file1 = new QListWidget(this);
    m_file1->setObjectName(u"File1"_s);
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(u"Text1"_s);
    QPushButton *command1 = makeButton(this, u"Command1"_s);
    QPushButton *command2 = makeButton(this, u"Command2"_s);
    applyDesign(this, design::kForm2, true);

    m_volumes = platform::volumes();
    for (const platform::Volume &volume : m_volumes)
        m_drive1->addItem(volume.label, volume.rootPath);

    connect(m_drive1, &QComboBox::activated, this, &Form2::Drive1_Change);
    connect(m_dir1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { setDirPath(item->data(kPathRole).toString()); });
    // A mouse click makes the item current before it selects it, so the selection is what tells;
    // a click on the item already selected fills the name box again.
    connect(m_file1, &QListWidget::itemSelectionChanged, this, &Form2::File1_Click);
    connect(m_file1, &QListWidget::itemClicked, this, &Form2::File1_Click);
    connect(m_file1, &QListWidget::itemDoubleClicked, this, &Form2::Command1_Click);
    connect(command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(m_text1, &QLineEdit::returnPressed, this, &Form2::Command2_Click);
    // A second document beside the one in hand: from the list's menu, or Ctrl+Enter on it. 開く
    // stays as it is.
    auto *another = new QAction(u"新しいタブで開く"_s, m_file1);
    another->setObjectName(u"openAnother"_s);
    another->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    another->setShortcutContext(Qt::WidgetShortcut);
    m_file1->addAction(another);
    m_file1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(another, &QAction::triggered, this, &Form2::File1_OpenAnother);

    // Where the document opened last lies, else where the program was started.
    if ((form1.documentFolder().isEmpty() || !setDirPath(form1.documentFolder())) &&
        !setDirPath(QDir::toNativeSeparators(QDir::currentPath())))
        setDirPath(QDir::toNativeSeparators(QDir::homePath()));
}

bool Form2::setDirPath(const QString &folder)
{
    const platform::Listing subfolders = platform::listSubfolders(folder);
    if (subfolders.error) {
        warnFolder(folder, *subfolders.error);
        selectDriveOf(m_dirPath);
        return false;
    }
    m_dirPath = QDir::toNativeSeparators(QDir::cleanPath(folder));
    fillDir1(subfolders.names);
    selectDriveOf(m_dirPath);
    Dir1_Change();
    return true;
}

void Form2::fillDir1(const QStringList &subfolders)
{
    m_dir1->clear();
    const QStringList chain = platform::folderChain(m_dirPath);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const QString &path : chain) {
        auto *item = new QListWidgetItem(open, QString(depth++ * 2, u' ') + lastName(path), m_dir1);
        item->setData(kPathRole, path);
    }
    m_dir1->setCurrentRow(m_dir1->count() - 1);
    for (const QString &name : subfolders) {
        auto *item = new QListWidgetItem(closed, QString(depth * 2, u' ') + name, m_dir1);
        item->setData(kPathRole, engine::JoinPath(m_dirPath, name));
    }
}

void Form2::selectDriveOf(const QString &folder)
{
    const QString root = platform::volumeOf(m_volumes, folder);
    const QSignalBlocker blocker(m_drive1);
    m_drive1->setCurrentIndex(m_drive1->findData(root));
}

QString Form2::fileName() const
{
    const QListWidgetItem *item = m_file1->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void Form2::Drive1_Change()
{
    setDirPath(m_drive1->currentData().toString());
}

void Form2::Dir1_Change()
{
    fillFile1();
}

void Form2::fillFile1()
{
    const platform::Listing files = platform::listFiles(m_dirPath, kPattern);
    m_file1->clear();
    if (files.error) {
        warnFolder(m_dirPath, *files.error);
        return;
    }
    m_file1->addItems(files.names);
}

void Form2::File1_Click()
{
    const QString name = fileName();
    if (!name.isEmpty())
        m_text1->setText(name);
}

void Form2::Command1_Click()
{
    openChosen(false);
}

void Form2::File1_OpenAnother()
{
    openChosen(true);
}

void Form2::openChosen(bool another)
{
    const QString name = fileName();
    if (name.isEmpty()) {
        warn(u"開くファイルが選ばれていません。右の一覧からファイルを選んでください。"_s);
        return;
    }
    const auto done = [this](const std::optional<QString> &error) {
        if (!error)
            setVisible(false);
        else if (!error->isEmpty())
            warn(*error);
    };
    const QString path = engine::JoinPath(m_dirPath, name);
    if (another)
        m_form1.openAnother(path, this, done);
    else
        m_form1.openDocument(path, this, done);
}

void Form2::Command2_Click()
{
    const QString name = m_text1->text();
    if (name.isEmpty() || name == namePrompt()) {
        m_text1->setText(namePrompt());
        return;
    }
    // The name is used as typed: no extension is added, and an existing file is replaced.
    if (const std::optional<QString> error =
            m_form1.saveDocument(engine::JoinPath(m_dirPath, name))) {
        warn(*error);
        return;
    }
    setVisible(false);
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        setVisible(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form2::warnFolder(const QString &folder, const platform::OsError &error)
{
    warn(engine::FileError(engine::FileError::Kind::Folder, folder, error).message());
}

void Form2::warn(const QString &text)
{
    // The dialog stays as it was.
    forms::warn(this, windowTitle(), text);
}

}  // namespace forms
