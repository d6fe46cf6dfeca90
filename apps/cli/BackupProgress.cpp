// The progress line of a backup, from the figures the engines report.
#include "BackupProgress.h"

#include "NodeFormat.h"

namespace tavctl {

CBackupProgressView::CBackupProgressView(cmdhost::CRunnerView& inner, std::ostream& stream,
                                         unsigned columns)
    : m_inner(inner), m_meter(stream, true, columns) {}

void CBackupProgressView::OnEngineEvent(cmdhost::EngineEvent event,
                                        const cmdhost::HostStatusRecord& status) {
    if (event != cmdhost::EngineEvent::Progress) {
        if (event != cmdhost::EngineEvent::Start) m_meter.Clear();
        m_inner.OnEngineEvent(event, status);
        return;
    }
    // An engine that does not count (Outlook Express) shows its current item only.
    m_meter.SetState(status.counting  ? CProgressMeter::State::Counting
                     : status.counted ? CProgressMeter::State::Counted
                                      : CProgressMeter::State::Unknown);
    m_meter.SetTotals(status.filesTotal, status.bytesTotal);
    m_meter.Update(status.filesDone, status.bytesDone, Printable(status.item));
    m_inner.OnEngineEvent(event, status);
}

}  // namespace tavctl
