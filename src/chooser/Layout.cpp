#include "main/MainViewController.h"

#include "views/MenuButton.h"
#include "views/OverlapRowLayout.h"
#include "views/WindowDragHandleView.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace marvoline {

QToolButton* MainViewController::makeOptionButton(const QString& title, const QString& symbolName,
                                                  QToolButton* button) {
    // Small framed buttons, sized to their text: a push button would take the
    // style's minimum width of a dialog button.
    if (!button)
        button = new QToolButton;
    button->setText(title);
    button->setToolButtonStyle(symbolName.isEmpty() ? Qt::ToolButtonTextOnly
                                                    : Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(false);
    // Font and symbol come from updateTextAppearance().
    button->setProperty(optionSymbolProperty, symbolName);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void MainViewController::buildUI() {
    auto* rootLayout = new QVBoxLayout(this);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(6);

    // Preview pane: takes all spare height, never shorter than 200.
    previewContainer = new QWidget;
    previewContainer->setObjectName(QStringLiteral("previewContainer"));
    previewContainer->setAutoFillBackground(true);
    previewContainer->setBackgroundRole(QPalette::Window);
    previewContainer->setMinimumHeight(200);
    previewContainer->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    previewContainer->installEventFilter(this);
    rootLayout->addWidget(previewContainer, 1);

    auto* mainStack = new QWidget;
    auto* mainLayout = new QVBoxLayout(mainStack);
    mainLayout->setContentsMargins(12, 8, 12, 8);
    mainLayout->setSpacing(0);
    rootLayout->addWidget(mainStack, 0);

    // App band: 52 high. The row floats over it, centred, as a child of this
    // view: tiles are taller than the band (icon, name and version), and what
    // stands out above and below lies in the margins around the band.
    appContainer = new QWidget;
    appContainer->setObjectName(QStringLiteral("appContainer"));
    appContainer->setFixedHeight(appBandHeight);
    appStackView = new QWidget(this);
    appStackView->setObjectName(QStringLiteral("appStackView"));
    new OverlapRowLayout(appStackView, appButtonSpacing);
    appContainer->installEventFilter(this);
    appStackView->installEventFilter(this);
    mainStack->installEventFilter(this);
    mainLayout->addWidget(appContainer);
    mainLayout->addSpacing(14);

    // Options row, centred.
    auto* optionsContainer = new QWidget;
    auto* optionsContainerLayout = new QHBoxLayout(optionsContainer);
    optionsContainerLayout->setContentsMargins(0, 0, 0, 0);
    optionsStack = new QWidget;
    optionsStack->setObjectName(QStringLiteral("optionsStack"));
    optionsStack->installEventFilter(this);
    auto* optionsLayout = new QHBoxLayout(optionsStack);
    optionsLayout->setContentsMargins(0, 0, 0, 0);
    optionsLayout->setSpacing(4);
    optionsContainerLayout->addStretch(1);
    optionsContainerLayout->addWidget(optionsStack, 0, Qt::AlignVCenter);
    optionsContainerLayout->addStretch(1);

    dragHandle = new WindowDragHandleView;
    QPointer<MainViewController> self(this);
    dragHandle->fileURLs = [self]() { return self ? self->fileURLs : QList<QUrl>(); };
    optionsLayout->addWidget(dragHandle, 0, Qt::AlignVCenter);

    //% "Rule"
    ruleButton = makeOptionButton(qtTrId("ui.rule"), QStringLiteral("arrow.triangle.branch"));
    connect(ruleButton, &QToolButton::clicked, this, &MainViewController::onRuleTapped);
    optionsLayout->addWidget(ruleButton, 0, Qt::AlignVCenter);

    // Later and Copy open their menus on a click, a key or assistive
    // technology's action.
    laterPopUp = new MenuButton;
    makeOptionButton(QString(), QStringLiteral("clock"), laterPopUp);
    buildLaterMenu(laterPopUp);
    optionsLayout->addWidget(laterPopUp, 0, Qt::AlignVCenter);

    //% "Copy"
    copyPopUp = new MenuButton;
    makeOptionButton(qtTrId("ui.copy"), QStringLiteral("doc.on.doc"), copyPopUp);
    buildCopyMenu(copyPopUp);
    optionsLayout->addWidget(copyPopUp, 0, Qt::AlignVCenter);

    //% "Share"
    shareButton = makeOptionButton(qtTrId("ui.share"), QStringLiteral("square.and.arrow.up"));
    connect(shareButton, &QToolButton::clicked, this, [this] { onShareTapped(shareButton); });
    optionsLayout->addWidget(shareButton, 0, Qt::AlignVCenter);

    //% "Close"
    closeButton = makeOptionButton(qtTrId("ui.close"), QString());
    connect(closeButton, &QToolButton::clicked, this, &MainViewController::onCloseTapped);
    optionsLayout->addWidget(closeButton, 0, Qt::AlignVCenter);

    //% "Always ask with Marvoline for files of this type"
    setDefaultButton = new QCheckBox(qtTrId("ui.setDefault.anyType"));
    setDefaultButton->setChecked(false);
    setDefaultButton->setVisible(false);
    optionsLayout->addWidget(setDefaultButton, 0, Qt::AlignVCenter);

    mainLayout->addWidget(optionsContainer);
    mainLayout->addSpacing(8);

    timerSectionStack = new QWidget;
    timerSectionStack->setObjectName(QStringLiteral("timerSectionStack"));
    auto* timerLayout = new QHBoxLayout(timerSectionStack);
    timerLayout->setContentsMargins(0, 0, 0, 0);
    timerLayout->setSpacing(12);
    mainLayout->addWidget(timerSectionStack);

    // Says why the chooser is still here after a launch failed.
    messageLabel = new QLabel;
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setWordWrap(true);
    // It quotes an application's name, which is the entry's text, never markup.
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setVisible(false);
    mainLayout->addWidget(messageLabel);

    // Window moves, resizes and full-screen changes are seen application-wide.
    settleTimer = new QTimer(this);
    settleTimer->setSingleShot(true);
    settleTimer->setInterval(windowSettleMs);
    connect(settleTimer, &QTimer::timeout, this, [this] { windowSettled = true; });
    qApp->installEventFilter(this);

    updateTextAppearance();
    installKeyboardShortcuts();
}

} // namespace marvoline
