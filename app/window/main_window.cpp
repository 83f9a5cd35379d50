// The main window's layout, its components and the small commands.
#include "app/window/main_window.h"
#include "app/window/tree_node.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFont>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTreeWidget>
#include <QUrl>

#include "app/isbn/isbn_capability.h"
#include "app/loans/loans_capability.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/platform/ui_services.h"
#include "app/platform/web_browser.h"
#include "app/safekeeping/safekeeping_capability.h"
#include "app/statistics/statistics_capability.h"
#include "app/tidy/tidy_capability.h"
#include "app/transfer/transfer_capability.h"
#include "app/window/catalogue_opening.h"
#include "app/window/catalogue_tree.h"
#include "app/window/edit_dialog.h"
#include "app/window/edit_fields.h"
#include "app/window/spin_edit.h"
#include "ui_main_window.h"

TForm1* Form1 = nullptr;

namespace {

// A book database whose search page takes "index.php?search_text=", and a search engine.
const char* const kBookDatabaseHost = "www.legie.info";
const char* const kSearchEngineHost = "www.google.com";

constexpr int kBrowserHeight = 311;
constexpr int kTreeWidth = 136;
constexpr int kRatingMin = 1;
constexpr int kRatingMax = 5;
constexpr int kRatingDefault = 3;

const char* const kAboutText =
    "Napsal tým programu Svazkovna (svazkovna@example.org). "
    "Program slouzi jako pomucka pri evidenci knih a jejich zapujcek";

// The flat menu's highlight.
const QColor kMenuHighlight(226, 225, 219);

// Menu-bar items drawn flat, and with picture and caption side by side: the
// toolkit's styles show a menu-bar action's picture instead of its caption.
class MenuBarStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element != CE_MenuBarItem || !item) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        if (item->state & (State_Selected | State_Sunken)) painter->fillRect(item->rect, kMenuHighlight);
        QRect text = item->rect;
        if (!item->icon.isNull()) {
            const QRect picture(text.left() + 4, text.center().y() - 7, 16, 16);
            item->icon.paint(painter, picture);
            text.setLeft(picture.right() + 1);
        }
        drawItemText(painter, text, Qt::AlignCenter | Qt::TextShowMnemonic, item->palette, item->state & State_Enabled,
                     item->text, QPalette::ButtonText);
    }
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type == CT_MenuBarItem && item && !item->icon.isNull()) {
            QString caption = item->text;
            result.rwidth() += item->fontMetrics.horizontalAdvance(caption.remove('&')) + 8;
        }
        return result;
    }
};

// The layout's font is not found outside its home platform: the system sans
// font at the same 11-pixel height stands in.
QFont WindowFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    return font;
}

void SetUpQuery(TASQLite3Query& query, TASQLite3DB& connection) {
    query.SetConnection(&connection);
    query.SetAutoCommit(false);
    query.SetRawSQL(false);
    query.SetReadOnly(false);
    query.SetSQLCursor(true);
    query.SetSQLiteDateFormat(true);
    query.SetTypeLess(false);
    query.SetMaxResults(0);
    query.SetStartResult(0);
}

}  // namespace

TForm1::TForm1(UiServices& ui, std::unique_ptr<WebBrowser> browser, QString executableDir, QString startDir,
               QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), ui_services_(ui), browser_(std::move(browser)),
      session_(std::make_unique<CatalogueSession>(con1, ui, *this, [this] { return SettingsPath(); })),
      opening_(std::make_unique<CatalogueOpening>(*session_, query1, std::move(executableDir), std::move(startDir))) {
    // The library's resources are not linked in unless asked for by name.
    Q_INIT_RESOURCE(resources);
    ui_->setupUi(this);
    setFont(WindowFont());
    PrepareEditFields(*this);
    SetUpComponents();
    tree_ = std::make_unique<CatalogueTree>(*ui_->tv1, *session_, nodesq, [this] { tv1update(); });

    Ui::TForm1& f = *ui_;
    // Texts are kept as typed: leaving a drop-down whose list holds the text in
    // another case must not swap in that entry (the completer's case rules decide).
    for (QComboBox* box : {f.autorcb, f.zanrcb, f.vydalcb, f.umistenicb, f.zapujcenokomucb})
        if (box->completer()) box->completer()->setCaseSensitivity(Qt::CaseSensitive);
    // The flat menu bar of the layout, with its light highlight.
    auto* menuStyle = new MenuBarStyle;
    menuStyle->setParent(this);
    f.MainMenu1->setStyle(menuStyle);
    f.MainMenu1->setMinimumHeight(27);
    QPalette menuPalette = f.databazem->palette();
    menuPalette.setColor(QPalette::Highlight, kMenuHighlight);
    menuPalette.setColor(QPalette::HighlightedText, Qt::black);
    f.databazem->setPalette(menuPalette);
    f.hodnocenispin->SetMinValue(kRatingMin);
    f.hodnocenispin->SetMaxValue(kRatingMax);
    f.hodnocenispin->SetValue(kRatingDefault);
    f.idspin->SetMinValue(0);
    f.idspin->SetMaxValue(0);
    f.legiel->setText(QString::fromLatin1(kBookDatabaseHost).remove(0, 4));
    f.googlel->setText(QString::fromLatin1(kSearchEngineHost).remove(0, 4));
    f.legiel->installEventFilter(this);
    f.googlel->installEventFilter(this);
    // Every left click in the tree acts on the node selected at that moment,
    // also a click beside the items; the selection follows the press first.
    f.tv1->viewport()->installEventFilter(this);
    // An author's titles are made when it is first opened.
    connect(f.tv1, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* item) { AsTreeNode(*item).MakeTitles(); });

    // The browser sits under the tabs; growing the window grows only the tabs.
    QWidget* view = browser_->Widget();
    view->setFocusPolicy(Qt::ClickFocus);
    f.Splitter1->addWidget(view);
    f.Splitter1->setStretchFactor(0, 1);
    f.Splitter1->setStretchFactor(1, 0);
    f.Splitter2->setStretchFactor(0, 0);
    f.Splitter2->setStretchFactor(1, 1);
    f.pc1->setCurrentIndex(0);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    ConnectSignals();
    SetUpCapabilities();
    FormCreate();
}

void TForm1::SetUpCapabilities() {
    Ui::TForm1& f = *ui_;
    session_->reopenCatalogue = [this] { ReopenCatalogue(); };
    session_->showPage = [this](const QUrl& page) { browser().Navigate(page.toString()); };
    session_->showRow = [this](int64_t row) {
        if (!tree_->SelectRow(row)) return false;
        tv1Click();
        return true;
    };
    session_->SetCommandPlace(*f.databazem, *f.konec);
    // The one notice of every change: the tree and the lists follow it, and the panel.
    connect(session_.get(), &CatalogueSession::RowsAboutToChange, this,
            [this](const std::vector<int64_t>& rows) { BeforeOwnChange(rows); });
    connect(session_.get(), &CatalogueSession::RowsChanged, this, [this](const RowsChange& change) {
        PanelFollows(change);
        AfterOwnChange(change);
    });
    SetUpTitleMenu();
    // One line a capability. Safe keeping comes first: it guards every change.
    capabilities_ = std::make_unique<QObject>();
    new SafekeepingCapability(*session_, capabilities_.get());
    new LoansCapability(*session_, capabilities_.get());
    new TransferCapability(*session_, capabilities_.get());
    new IsbnCapability(*session_, capabilities_.get());
    new StatisticsCapability(*session_, capabilities_.get());
    new TidyCapability(*session_, capabilities_.get());
}

bool TForm1::beforeCatalogueChange() { return session_->BeforeChange(); }

void TForm1::BeforeOwnChange(const std::vector<int64_t>& rows) { tree_->Before(rows); }
void TForm1::AfterOwnChange(const RowsChange& change) { tree_->After(change); }
void TForm1::RefreshTree() { tree_->Refresh(); }

TForm1::~TForm1() {
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::SetUpComponents() {
    con1.SetDatabase("svazkovna.db");
    SetUpQuery(query1, con1);
    SetUpQuery(autoriq, con1);
    SetUpQuery(nodesq, con1);
    usql1.InsertSQL.Assign(std::vector<std::string>{"insert into svazkovna *"});
    usql1.UpdateSQL.Assign(std::vector<std::string>{"update svazkovna * where autor=:autor"});
    usql1.DeleteSQL.Assign(std::vector<std::string>{"delete from svazkovna where autor=:autor"});
    query1.SetUpdateSQL(&usql1);
}

void TForm1::Guarded(const std::function<void()>& handler) { RunGuarded(ui_services_, handler); }

void TForm1::ConnectSignals() {
    Ui::TForm1& f = *ui_;
    const auto bind = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    bind(f.otevrit, &TForm1::otevritExecute);
    bind(f.konec, &TForm1::konecExecute);
    bind(f.novyzaznam, &TForm1::novyzaznamExecute);
    bind(f.vyhledat, &TForm1::vyhledatExecute);
    bind(f.informace, &TForm1::informaceExecute);
    // The tree's click comes from the viewport's event filter below: keyboard
    // moves and programmatic selection do not count as a click.
    connect(f.ulozitb, &QPushButton::clicked, this, [this] { Guarded([this] { ulozitbClick(); }); });
    connect(f.smazatb, &QPushButton::clicked, this, [this] { Guarded([this] { smazatbClick(); }); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == ui_->tv1->viewport()) {
            Guarded([this] { tv1Click(); });
            return false;
        }
        auto* label = qobject_cast<QWidget*>(watched);
        // Like a button: the release must happen over the label that was pressed.
        if (label && label->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            if (watched == ui_->legiel) Guarded([this] { legielClick(); });
            if (watched == ui_->googlel) Guarded([this] { googlelClick(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (splitters_sized_) return;
    splitters_sized_ = true;
    Ui::TForm1& f = *ui_;
    const int tall = f.Splitter1->height() - f.Splitter1->handleWidth();
    f.Splitter1->setSizes({std::max(0, tall - kBrowserHeight), kBrowserHeight});
    const int wide = f.Splitter2->width() - f.Splitter2->handleWidth();
    f.Splitter2->setSizes({kTreeWidth, std::max(0, wide - kTreeWidth)});
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool close = false;
    // A failed close keeps the window, as a call that returns false does.
    Guarded([&] { close = FormClose(); });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TForm1::konecExecute() { close(); }

void TForm1::novyzaznamExecute() {
    if (!editf) throw std::runtime_error("Okno pro nový záznam není vytvořeno.");
    ui_services_.ExecModal(*editf);
}

void TForm1::informaceExecute() { ui_services_.InformationBox("Informace", kAboutText); }

void TForm1::legielClick() {
    ui_->wb1skriptle->setText(QString("http://") + kBookDatabaseHost + "/index.php?search_text=");
}

void TForm1::googlelClick() { ui_->wb1skriptle->setText(QString("http://") + kSearchEngineHost + "/search?q="); }

void TForm1::vymazokna() {
    Ui::TForm1& f = *ui_;
    f.autorcb->clear();
    f.autorcb->setEditText(QString());
    f.zanrcb->clear();
    f.zanrcb->setEditText(QString());
    f.umistenicb->clear();
    f.umistenicb->setEditText(QString());
    f.titulle->clear();
    f.vydalcb->clear();
    f.vydalcb->setEditText(QString());
    f.seriele->clear();
    f.zapujcenokomucb->clear();
    f.zapujcenokomucb->setEditText(QString());
    f.zapujcenokdyle->clear();
    f.poznamkale->clear();
    f.hodnocenispin->SetValue(kRatingDefault);
    // The id stays: the panel no longer stands for a record, which the panel itself tracks.
    ForgetShownRecord();
}
