#include "ui/lab_view.h"

#include <memory>

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "journal/lab_settings.h"
#include "journal/store_table.h"
#include "journal/run_journal.h"
#include "lab/lab_store.h"
#include "ui/history_view.h"
#include "ui/main_window.h"

namespace tarnwick::ui {

LabView::LabView(std::string journal, const std::string& given, std::string settingsPath,
                 QWidget* parent, std::chrono::milliseconds retry)
    : QWidget(parent),
      journal_(std::move(journal)),
      settings_path_(std::move(settingsPath)),
      retry_(retry),
      field_(new QLineEdit(this)),
      line_(new QLabel(this)) {
  std::string problem;
  address_ = given.empty() ? LoadLabSettings(settings_path_, &problem).lab : given;
  auto* form = new QFormLayout(this);
  form->setContentsMargins(0, 0, 0, 0);
  field_->setObjectName(QStringLiteral("labField"));
  field_->setPlaceholderText(tr("none: postgresql://host/db, or service=name"));
  field_->setToolTip(tr("Where every finished run is forwarded, as libpq reads it; passwords "
                        "belong in ~/.pgpass or the service file, never here"));
  field_->setText(QString::fromStdString(address_));
  form->addRow(tr("Lab:"), field_);
  line_->setObjectName(QStringLiteral("labLine"));
  line_->setWordWrap(true);
  line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(line_);
  connect(field_, &QLineEdit::editingFinished, this, &LabView::Edited);
  line_->setText(QString::fromStdString(problem));
  // A remembered address may have been edited by hand.
  if (const std::string refused = address_.empty() ? "" : lab::LabAddressProblem(address_);
      !refused.empty()) {
    line_->setText(tr("lab: %1").arg(QString::fromStdString(refused)));
    address_.clear();
  }
  Forward();
}

// The forwarder's thread is done before the line it tells goes.
LabView::~LabView() { forwarder_.reset(); }

void LabView::RunEnded() {
  if (forwarder_) forwarder_->Poke();
}

void LabView::Edited() {
  const std::string text = field_->text().trimmed().toStdString();
  if (text == address_) return;
  if (const std::string refused = text.empty() ? "" : lab::LabAddressProblem(text);
      !refused.empty()) {
    line_->setText(tr("lab: %1").arg(QString::fromStdString(refused)));
    return;
  }
  address_ = text;
  LabSettings settings = LoadLabSettings(settings_path_);
  settings.lab = address_;
  const std::string saved = SaveLabSettings(settings, settings_path_);
  line_->setText(saved.empty() ? QString() : tr("lab: %1").arg(QString::fromStdString(saved)));
  Forward();
  emit AddressChanged();
}

void LabView::Forward() {
  forwarder_.reset();
  // Only a journal on this machine queues runs.
  if (address_.empty() || journal_.empty() || ParseStoreAddress(journal_).file.empty()) return;
  forwarder_ = std::make_unique<lab::BackgroundForwarder>(
      journal_, address_,
      [this](const lab::ForwardOutcome& outcome, bool) {
        QMetaObject::invokeMethod(this, [this, outcome] { Told(outcome); }, Qt::QueuedConnection);
      },
      retry_);
}

void LabView::Told(const lab::ForwardOutcome& outcome) {
  const std::string waiting = lab::WaitingLine(outcome.waiting, outcome.tried, outcome.error);
  line_->setText(waiting.empty() && outcome.error.empty()
                     ? tr("lab: no run waiting")
                     : QString::fromStdString(waiting.empty() ? "lab: " + outcome.error : waiting));
}


// The window's part: the lab's field and line under the choices, and the
// lab in the history.
void Form1::UseLab(const std::string& given, const std::string& settingsPath) {
  lab::InstallLabJournal();
  lab_ = new LabView(request_.journal, given, settingsPath, controls_);
  controls_->layout()->addWidget(lab_);
  connect(this, &Form1::RunEnded, lab_, &LabView::RunEnded);
  history_->OfferLab([this](QString* why) { return LabReader(why); });
  history_->ShowLabChoice(!lab_->Address().empty());
  connect(lab_, &LabView::AddressChanged, this,
          [this] { history_->ShowLabChoice(!lab_->Address().empty()); });
}

ResultStore* Form1::LabReader(QString* why) {
  const std::string address = lab_->Address();
  if (address != lab_reader_address_) {
    lab_reader_.reset();
    lab_reader_problem_.clear();
    lab_reader_address_ = address;
  }
  if (!lab_reader_ && !address.empty() && !lab_opening_) {
    // Connecting may take the lab's connect timeout: not on this thread.
    lab_opening_ = true;
    lab_reader_problem_ = tr("Reaching the lab…").toStdString();
    if (lab_opener_.joinable()) lab_opener_.join();
    lab_opener_ = std::thread([this, address] {
      auto target = std::make_shared<JournalTarget>(OpenJournal(address, JournalAccess::kRead));
      QMetaObject::invokeMethod(
          this,
          [this, address, target] {
            lab_opening_ = false;
            if (address != lab_reader_address_) return;
            lab_reader_ = std::move(target->store);
            lab_reader_problem_ = target->openError;
            history_->RunRecorded();
          },
          Qt::QueuedConnection);
    });
  }
  if (why != nullptr) *why = QString::fromStdString(lab_reader_problem_);
  return lab_reader_.get();
}

}  // namespace tarnwick::ui
