// WorkerHost: each seam call posted to the window's thread, blocking where an answer is due.
#include "ui/worker_host.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace terravox {

template <typename T, typename Read>
T WorkerHost::Ask(Read read) const {
  T answer{};
  Host& target = target_;
  // Called from the window's own thread (a test driving the seam directly) it runs at once.
  const Qt::ConnectionType type = QThread::currentThread() == context_.thread()
                                      ? Qt::DirectConnection
                                      : Qt::BlockingQueuedConnection;
  QMetaObject::invokeMethod(
      &context_, [&answer, &target, &read] { answer = read(target); }, type);
  return answer;
}

std::string WorkerHost::GridFolder() const {
  return Ask<std::string>([](Host& h) { return h.GridFolder(); });
}
std::string WorkerHost::ContourBase() const {
  return Ask<std::string>([](Host& h) { return h.ContourBase(); });
}
std::string WorkerHost::ContourInterval() const {
  return Ask<std::string>([](Host& h) { return h.ContourInterval(); });
}
std::string WorkerHost::ContourFolder() const {
  return Ask<std::string>([](Host& h) { return h.ContourFolder(); });
}
std::string WorkerHost::SlopeFolder() const {
  return Ask<std::string>([](Host& h) { return h.SlopeFolder(); });
}
std::string WorkerHost::AsciiFolder() const {
  return Ask<std::string>([](Host& h) { return h.AsciiFolder(); });
}
std::string WorkerHost::XyzFolder() const {
  return Ask<std::string>([](Host& h) { return h.XyzFolder(); });
}
std::string WorkerHost::CellSizeText() const {
  return Ask<std::string>([](Host& h) { return h.CellSizeText(); });
}
bool WorkerHost::InputIsXyz() const {
  return Ask<bool>([](Host& h) { return h.InputIsXyz(); });
}
bool WorkerHost::InputIsAscii() const {
  return Ask<bool>([](Host& h) { return h.InputIsAscii(); });
}
bool WorkerHost::CellSizeGiven() const {
  return Ask<bool>([](Host& h) { return h.CellSizeGiven(); });
}
bool WorkerHost::RunContour() const {
  return Ask<bool>([](Host& h) { return h.RunContour(); });
}
bool WorkerHost::RunSlope() const {
  return Ask<bool>([](Host& h) { return h.RunSlope(); });
}
std::string WorkerHost::StatusText() const {
  return Ask<std::string>([](Host& h) { return h.StatusText(); });
}

void WorkerHost::SetStatus(const std::string& caption) {
  // Queued, not waited for: the run goes on while the window paints the caption.
  Host& target = target_;
  QMetaObject::invokeMethod(
      &context_, [&target, caption] { target.SetStatus(caption); }, Qt::AutoConnection);
}

void WorkerHost::Repaint() {
  Host& target = target_;
  QMetaObject::invokeMethod(
      &context_, [&target] { target.Repaint(); }, Qt::AutoConnection);
}

void WorkerHost::MsgBox(const std::string& text, const std::string& title) {
  // Waits for the box to close, as the run did when it showed the box itself.
  Ask<bool>([&text, &title](Host& h) {
    h.MsgBox(text, title);
    return true;
  });
}

}  // namespace terravox
