#include "AppLifecycleBridge.h"

#include "System/NotificationCenter.h"

namespace vorn {

using tally::system::Notification;
using tally::system::NotificationCenter;

void AppLifecycleBridge::willTerminate() {
    NotificationCenter::defaultCenter().post(Notification::willTerminate);
}

void AppLifecycleBridge::didBecomeActive() {
    NotificationCenter::defaultCenter().post(Notification::didBecomeActive);
}

void AppLifecycleBridge::willResignActive() {
    NotificationCenter::defaultCenter().post(Notification::willResignActive);
}

}  // namespace vorn
