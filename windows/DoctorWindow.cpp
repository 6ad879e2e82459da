#include "windows/DoctorWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Formats.h"
#include "base/Texts.h"
#include "serial/PortMap.h"

namespace {

const TTexts kTitle{"Diagnòstic de connexió", "Diagnóstico de conexión", "Diagnostic de connexion", "Connection doctor"};
const TTexts kUse{"Fes servir aquesta configuració", "Usar esta configuración", "Utiliser ces réglages",
    "Use these settings"};
const TTexts kAgain{"Torna a provar", "Volver a probar", "Relancer", "Run again"};
const TTexts kCancel{"Cancel·la", "Cancelar", "Annuler", "Cancel"};
const TTexts kClose{"Tanca", "Cerrar", "Fermer", "Close"};
const TTexts kRunning{"en curs...", "en curso...", "en cours...", "running..."};
const TTexts kApplied{"Configuració aplicada: %1.", "Configuración aplicada: %1.", "Réglages appliqués : %1.",
    "Settings applied: %1."};

QString u8(const std::string& s) { return QString::fromStdString(s); }

QLabel* label(QWidget* parent, const QString& name, bool wrap = false)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setWordWrap(wrap);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

const char* verdictColour(TVerdict v)
{
    switch (v) {
    case TVerdict::Ok: return "#007000";
    case TVerdict::Problem: return "#c00000";
    case TVerdict::Skipped: break;
    }
    return "#707070";
}

// The port and line a run diagnoses, before the run has resolved them.
std::string subjectText(const TDisplayConfig& c, int language)
{
    const std::string port = cfmt("COM%d", c.PortIndex <= 5 ? c.PortIndex + 1 : 1);
    const std::string path = resolvePortPath(port);
    const std::uint8_t address = c.Address <= 31 ? c.Address : 0;
    return (path.empty() ? port : port + " (" + path + ")") + ": " + lineWords(lineOf(c), address, language);
}

} // namespace

std::string doctorWindowTitle(int language)
{
    return pickText(kTitle, language);
}

TDoctorWindow::TDoctorWindow(QWidget* owner, int language, int answerTimeoutMs, TMayRun mayRun, TUseFound useFound)
    : QWidget(owner, Qt::Window), language_(language), answerTimeoutMs_(answerTimeoutMs), mayRun_(std::move(mayRun)),
      useFound_(std::move(useFound))
{
    setObjectName(QStringLiteral("DoctorWindow"));
    setWindowTitle(QString::fromUtf8(pickText(kTitle, language)));
    resetToDefaults(config_);

    auto* layout = new QVBoxLayout(this);
    subject_ = label(this, QStringLiteral("SubjectLabel"), true);
    QFont bold = subject_->font();
    bold.setBold(true);
    subject_->setFont(bold);
    layout->addWidget(subject_);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(2, 1);
    for (int c = 0; c < kDoctorCheckCount; ++c) {
        TCheckResult named;
        named.check = static_cast<TDoctorCheck>(c);
        auto* name = label(this, QStringLiteral("CheckName%1").arg(c));
        name->setText(u8(checkParts(named, language).name));
        name->setFont(bold);
        verdicts_[c] = label(this, QStringLiteral("CheckVerdict%1").arg(c));
        texts_[c] = label(this, QStringLiteral("CheckText%1").arg(c), true);
        grid->addWidget(name, c, 0);
        grid->addWidget(verdicts_[c], c, 1);
        grid->addWidget(texts_[c], c, 2);
    }
    auto* verdictName = label(this, QStringLiteral("VerdictName"));
    verdictName->setText(u8(::verdictName(language)));
    verdictName->setFont(bold);
    verdict_ = label(this, QStringLiteral("VerdictText"), true);
    verdict_->setFont(bold);
    grid->addWidget(verdictName, kDoctorCheckCount, 0);
    grid->addWidget(verdict_, kDoctorCheckCount, 1, 1, 2);
    layout->addLayout(grid);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("SearchProgress"));
    step_ = label(this, QStringLiteral("SearchStep"));
    layout->addWidget(step_);
    layout->addWidget(progress_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name, const TTexts& text) {
        auto* b = new QPushButton(QString::fromUtf8(pickText(text, language_)), this);
        b->setObjectName(QString::fromLatin1(name));
        // Room for the whole caption whatever the style's own margins.
        b->setMinimumWidth(std::max(90, b->fontMetrics().horizontalAdvance(b->text()) + 28));
        buttons->addWidget(b);
        return b;
    };
    use_ = button("UseButton", kUse);
    buttons->addStretch(1);
    again_ = button("RunButton", kAgain);
    cancel_ = button("CancelButton", kCancel);
    close_ = button("CloseButton", kClose);
    layout->addLayout(buttons);

    connect(use_, &QPushButton::clicked, this, &TDoctorWindow::useSettings);
    connect(again_, &QPushButton::clicked, this, &TDoctorWindow::run);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (doctor_)
            doctor_->cancel();
    });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    use_->hide();
    showRunning(false);
    resize(720, 380);
}

TDoctorWindow::~TDoctorWindow() = default;

bool TDoctorWindow::running() const
{
    return doctor_ && doctor_->running();
}

void TDoctorWindow::diagnose(const TDisplayConfig& config)
{
    if (running())
        return;
    config_ = config;
    run();
}

void TDoctorWindow::clearChecks()
{
    for (int c = 0; c < kDoctorCheckCount; ++c) {
        verdicts_[c]->clear();
        texts_[c]->clear();
    }
    verdict_->clear();
    verdict_->setStyleSheet({});
    found_.reset();
    use_->hide();
}

void TDoctorWindow::run()
{
    if (running())
        return;
    clearChecks();
    subject_->setText(u8(subjectText(config_, language_)));
    const std::string refusal = mayRun_ ? mayRun_() : std::string();
    if (!refusal.empty()) {
        verdict_->setText(u8(refusal));
        verdict_->setStyleSheet(QStringLiteral("color: #c00000;"));
        return;
    }
    TDoctorSetup setup;
    setup.config = config_;
    setup.answerTimeoutMs = answerTimeoutMs_;
    doctor_ = std::make_unique<TDoctor>(setup);
    connect(doctor_.get(), &TDoctor::checkDone, this, &TDoctorWindow::showCheck);
    connect(doctor_.get(), &TDoctor::progress, this, &TDoctorWindow::showProgress);
    connect(doctor_.get(), &TDoctor::finished, this, &TDoctorWindow::showFinished);
    showRunning(true);
    verdicts_[0]->setText(QString::fromUtf8(pickText(kRunning, language_)));
    doctor_->start();
}

void TDoctorWindow::showCheck(const TCheckResult& r)
{
    const int c = static_cast<int>(r.check);
    const TCheckParts parts = checkParts(r, language_);
    verdicts_[c]->setText(u8(parts.verdict));
    verdicts_[c]->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(QLatin1String(verdictColour(r.verdict))));
    texts_[c]->setText(u8(parts.text));
    if (running() && c + 1 < kDoctorCheckCount) {
        verdicts_[c + 1]->setText(QString::fromUtf8(pickText(kRunning, language_)));
        verdicts_[c + 1]->setStyleSheet({});
    }
}

void TDoctorWindow::showProgress(const TSearchProgress& p)
{
    progress_->setVisible(true);
    step_->setVisible(true);
    progress_->setRange(0, std::max(p.total, 1));
    progress_->setValue(p.done);
    step_->setText(u8(progressText(p, language_)));
}

void TDoctorWindow::showFinished(const TDoctorReport& report)
{
    showRunning(false);
    showReport(report);
}

void TDoctorWindow::showReport(const TDoctorReport& report)
{
    for (const TCheckResult& r : report.checks)
        showCheck(r);
    verdict_->setText(u8(report.conclusion[static_cast<std::size_t>(language_ >= 0 && language_ <= 3 ? language_ : 1)]));
    verdict_->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(
        report.outcome == TDoctorOutcome::Answers || report.outcome == TDoctorOutcome::Found ? "#007000"
            : report.outcome == TDoctorOutcome::Cancelled                                   ? "#707070"
                                                                                            : "#c00000")));
    found_ = report.found;
    use_->setVisible(found_.has_value());
    use_->setEnabled(true);
}

void TDoctorWindow::showRunning(bool running)
{
    progress_->setVisible(false);
    step_->setVisible(false);
    again_->setEnabled(!running);
    cancel_->setEnabled(running);
}

void TDoctorWindow::useSettings()
{
    if (!found_)
        return;
    if (useFound_)
        useFound_(*found_);
    // The next run diagnoses what is now set.
    applyFoundLine(*found_, config_);
    subject_->setText(u8(subjectText(config_, language_)));
    use_->setEnabled(false);
    verdict_->setText(u8(fillIn(pickText(kApplied, language_), {lineWords(found_->line, found_->Address, language_)})));
}

void TDoctorWindow::closeEvent(QCloseEvent* event)
{
    // Closing ends a run: its port closes at once.
    if (doctor_)
        doctor_->cancel();
    QWidget::closeEvent(event);
}
