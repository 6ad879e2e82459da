#include "windows/DoctorWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
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
std::string subjectText(const TDisplayConfig& c, TLanguage language)
{
    const std::string port = cfmt("COM%d", c.PortIndex <= 5 ? c.PortIndex + 1 : 1);
    const std::string path = resolvePortPath(port);
    const std::uint8_t address = c.Address <= 31 ? c.Address : 0;
    return (path.empty() ? port : port + " (" + path + ")") + ": " + lineWords(lineFormatOf(c), address, language);
}

} // namespace

std::string doctorWindowTitle(TLanguage language)
{
    return kTitle.pick(language);
}

TDoctorWindow::TDoctorWindow(QWidget* owner, TLanguage language, int answerTimeoutMs, TMayRun mayRun, TUseFound useFound)
    : QWidget(owner, Qt::Window), language_(language), answerTimeoutMs_(answerTimeoutMs), mayRun_(std::move(mayRun)),
      useFound_(std::move(useFound))
{
    setObjectName(QStringLiteral("DoctorWindow"));
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
        names_[c] = label(this, QStringLiteral("CheckName%1").arg(c));
        names_[c]->setFont(bold);
        verdicts_[c] = label(this, QStringLiteral("CheckVerdict%1").arg(c));
        texts_[c] = label(this, QStringLiteral("CheckText%1").arg(c), true);
        grid->addWidget(names_[c], c, 0);
        grid->addWidget(verdicts_[c], c, 1);
        grid->addWidget(texts_[c], c, 2);
    }
    verdictName_ = label(this, QStringLiteral("VerdictName"));
    verdictName_->setFont(bold);
    verdict_ = label(this, QStringLiteral("VerdictText"), true);
    verdict_->setFont(bold);
    grid->addWidget(verdictName_, kDoctorCheckCount, 0);
    grid->addWidget(verdict_, kDoctorCheckCount, 1, 1, 2);
    layout->addLayout(grid);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("SearchProgress"));
    step_ = label(this, QStringLiteral("SearchStep"));
    layout->addWidget(step_);
    layout->addWidget(progress_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    use_ = button("UseButton");
    buttons->addStretch(1);
    again_ = button("RunButton");
    cancel_ = button("CancelButton");
    close_ = button("CloseButton");
    layout->addLayout(buttons);

    connect(use_, &QPushButton::clicked, this, &TDoctorWindow::useSettings);
    connect(again_, &QPushButton::clicked, this, &TDoctorWindow::run);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (doctor_)
            doctor_->cancel();
    });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    // Escape closes it, as it closes a dialog; a run under way ends with it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    use_->hide();
    applyTexts();
    showRunning(false);
    resize(720, 380);
}

TDoctorWindow::~TDoctorWindow() = default;

void TDoctorWindow::setLanguage(TLanguage language)
{
    if (language == language_)
        return;
    language_ = language;
    applyTexts();
}

void TDoctorWindow::applyTexts()
{
    auto text = [this](const TTexts& t) { return QString::fromUtf8(t.pick(language_)); };
    setWindowTitle(text(kTitle));
    for (int c = 0; c < kDoctorCheckCount; ++c) {
        TCheckResult named;
        named.check = static_cast<TDoctorCheck>(c);
        names_[c]->setText(u8(checkParts(named, language_).name));
    }
    verdictName_->setText(u8(verdictName(language_)));
    const std::pair<QPushButton*, const TTexts*> buttons[] = {
        {use_, &kUse}, {again_, &kAgain}, {cancel_, &kCancel}, {close_, &kClose}};
    for (const auto& [b, t] : buttons) {
        b->setText(text(*t));
        // Room for the whole caption whatever the style's own margins.
        b->setMinimumWidth(std::max(90, b->fontMetrics().horizontalAdvance(b->text()) + 28));
    }
    subject_->setText(u8(subjectText(config_, language_)));
    for (const std::optional<TCheckResult>& r : results_)
        if (r)
            showCheck(*r);
    if (running()) {
        const auto next = std::ranges::find_if(results_, [](const auto& r) { return !r.has_value(); });
        if (next != results_.end())
            verdicts_[static_cast<std::size_t>(next - results_.begin())]->setText(text(kRunning));
    }
    if (progressShown_)
        step_->setText(u8(progressText(*progressShown_, language_)));
    showVerdict();
}

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

void TDoctorWindow::diagnose()
{
    if (!running())
        run();
}

void TDoctorWindow::clearChecks()
{
    for (int c = 0; c < kDoctorCheckCount; ++c) {
        verdicts_[c]->clear();
        verdicts_[c]->setStyleSheet({});
        texts_[c]->clear();
    }
    results_ = {};
    progressShown_.reset();
    report_.reset();
    refusal_ = {};
    applied_ = false;
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
    if (configSource_)
        config_ = configSource_();
    subject_->setText(u8(subjectText(config_, language_)));
    if (mayRun_ && !mayRun_(language_).empty()) {
        refusal_ = wordsBy(mayRun_);
        showVerdict();
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
    verdicts_[0]->setText(QString::fromUtf8(kRunning.pick(language_)));
    doctor_->start();
}

void TDoctorWindow::showCheck(const TCheckResult& r)
{
    const int c = static_cast<int>(r.check);
    results_[static_cast<std::size_t>(c)] = r;
    const TCheckParts parts = checkParts(r, language_);
    verdicts_[c]->setText(u8(parts.verdict));
    verdicts_[c]->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(QLatin1String(verdictColour(r.verdict))));
    texts_[c]->setText(u8(parts.text));
    if (running() && c + 1 < kDoctorCheckCount && !results_[static_cast<std::size_t>(c + 1)]) {
        verdicts_[c + 1]->setText(QString::fromUtf8(kRunning.pick(language_)));
        verdicts_[c + 1]->setStyleSheet({});
    }
}

void TDoctorWindow::showProgress(const TSearchProgress& p)
{
    progressShown_ = p;
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
    report_ = report;
    for (const TCheckResult& r : report.checks)
        showCheck(r);
    found_ = report.found;
    use_->setVisible(found_.has_value());
    use_->setEnabled(true);
    showVerdict();
}

void TDoctorWindow::showVerdict()
{
    QString colour;
    if (!refusal_.pick(language_).empty()) {
        verdict_->setText(u8(refusal_.pick(language_)));
        colour = QStringLiteral("#c00000");
    } else if (applied_ && found_) {
        verdict_->setText(u8(fillIn(kApplied.pick(language_), {lineWords(found_->line, found_->Address, language_)})));
    } else if (report_) {
        verdict_->setText(u8(report_->conclusion.pick(language_)));
        colour = QLatin1String(report_->outcome == TDoctorOutcome::Answers || report_->outcome == TDoctorOutcome::Found
                ? "#007000"
                : report_->outcome == TDoctorOutcome::Cancelled ? "#707070"
                                                                : "#c00000");
    } else {
        verdict_->clear();
    }
    verdict_->setStyleSheet(colour.isEmpty() ? QString() : QStringLiteral("color: %1;").arg(colour));
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
    applied_ = true;
    showVerdict();
}

void TDoctorWindow::closeEvent(QCloseEvent* event)
{
    // Closing ends a run: its port closes at once.
    if (doctor_)
        doctor_->cancel();
    QWidget::closeEvent(event);
}
