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
    // Reports come for every item, the line at most ten times a second: the line's text is
    // made only when it is drawn.
    if (m_meter.Due()) {
        // An engine that does not count (Outlook Express) shows its current item only.
        m_meter.SetState(status.counting  ? CProgressMeter::State::Counting
                         : status.counted ? CProgressMeter::State::Counted
                                          : CProgressMeter::State::Unknown);
        m_meter.SetTotals(status.filesTotal, status.bytesTotal);
        m_meter.Update(status.filesDone, status.bytesDone, Printable(status.item));
    }
    m_inner.OnEngineEvent(event, status);
}

}  // namespace tavctl
