#include "zip/service/fZipProgress.h"

#include "controls/ctlTimerPool.h"
#include "platform/gdi/Colors.h"

TfrmZipProgress::TfrmZipProgress(TComponent* AOwner) : TabsRoot(AOwner) {
  SetPosition(poScreenCenter);
  SetClientWidth(FormClientWidth);
  SetClientHeight(FormClientHeight);
  FZipProgress = new TZpMeter(this);
  FZipProgress->SetName("mtrZipProgress");
  FZipProgress->SetParent(this);
  FZipProgress->SetAlign(alTop);
  FZipProgress->SetHeight(MeterHeight);
  FZipProgress->SetUsedColor(clMaroon);
  FZipProgress->SetUnusedColor(clBtnFace);
  FItemProgress = new TZpMeter(this);
  FItemProgress->SetName("mtrItemProgress");
  FItemProgress->SetParent(this);
  FItemProgress->SetTop(MeterHeight);
  FItemProgress->SetAlign(alTop);
  FItemProgress->SetHeight(MeterHeight);
  FItemProgress->SetUsedColor(clTeal);
  FItemProgress->SetUnusedColor(clBtnFace);
  FProgress = new TQslLabel(this);
  FProgress->SetName("lblProgress");
  FProgress->SetParent(this);
  FProgress->SetAlign(alClient);
  zkt().SetArchiveProgressMeter(FZipProgress);
  zkt().SetItemProgressMeter(FItemProgress);
  FJob.OnStatus = [this](const AnsiString& text) { SetStatus(text); };
}

TfrmZipProgress::~TfrmZipProgress() {
  // OnDestroy reaches the job and the meters, which go before the base class runs it.
  BeforeDestruction();
  zkt().SetArchiveProgressMeter(nullptr);
  zkt().SetItemProgressMeter(nullptr);
}

void TfrmZipProgress::FormCreate(TObject* Sender) {
  TabsRoot::FormCreate(Sender);
  FJob.TimerPool = nullptr;
  FJob.IsUnzip = FJob.Recurse = FJob.KeepPaths = FJob.RestorePaths = false;
  FJob.Append = FJob.Freshen = FJob.Replace = false;
  FJob.ErrorsLogged = false;
  FJob.ErrorLogName.clear();
  FJob.BaseDir.clear();
  FJob.Password.clear();
  FJob.Filter = nullptr;
  zkt().SetMaxZipFileSizeInMb(ZipMaxSizeInMb);
}

TCtlTimerPool* TfrmZipProgress::Pool() const { return FJob.TimerPool ? *FJob.TimerPool : nullptr; }

void TfrmZipProgress::FormShow(TObject* Sender) {
  TabsRoot::FormShow(Sender);
  if (TCtlTimerPool* pool = Pool()) {
    FJob.TriggerHandle = pool->AddTrigger(
        JobTriggerInterval, [this](TCtlTimerPool* s, int h, uint32_t i, int e) { RunZipJob(s, h, i, e); });
    if (FJob.TriggerHandle >= 0) return;
  }
  SetModalResult(mrCancel);
  Close();
}

void TfrmZipProgress::FormDestroy(TObject* Sender) {
  TabsRoot::FormDestroy(Sender);
  if (FJob.TriggerHandle >= 0) {
    if (TCtlTimerPool* pool = Pool()) pool->RemoveTrigger(FJob.TriggerHandle);
    FJob.TriggerHandle = -1;
  }
  try {
    zkt().CloseArchive();
  } catch (...) {
    // A window being freed cannot report; the job has already told the user.
  }
}

void TfrmZipProgress::RunZipJob(TCtlTimerPool*, int, uint32_t, int) {
  if (TCtlTimerPool* pool = Pool(); pool && FJob.TriggerHandle >= 0) pool->SetTriggerEnabled(FJob.TriggerHandle, false);
  TModalResult result = mrCancel;
  try {
    result = FJob.Run();
  } catch (Exception& e) {
    // The engine's texts do not say which archive they are about.
    e.SetMessage(e.Message() + ":\r" + FJob.ZipName);
    Application().HandleCurrentException();
    result = mrCancel;
  } catch (...) {
    // The window closes at once; the message is the application's to show.
    Application().HandleCurrentException();
    result = mrCancel;
  }
  SetModalResult(result);
}

void TfrmZipProgress::SetStatus(const AnsiString& text) {
  FProgress->SetCaption(text);
}
