#include "sampler/run_session.h"

namespace mixora {

void PostNotice(NoticeQueue& queue, ChainNotice notice) {
  {
    std::lock_guard<std::mutex> hold(queue.lock);
    queue.notices.push_back(notice);
  }
  queue.posted.notify_all();
}

bool TakeNotice(NoticeQueue& queue, ChainNotice& notice, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> hold(queue.lock);
  if (!queue.posted.wait_for(hold, wait, [&queue] { return !queue.notices.empty(); })) return false;
  notice = queue.notices.front();
  queue.notices.pop_front();
  return true;
}

void ClearNotices(NoticeQueue& queue) {
  std::lock_guard<std::mutex> hold(queue.lock);
  queue.notices.clear();
}

}  // namespace mixora
