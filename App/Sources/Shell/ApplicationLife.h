#pragma once

class QGuiApplication;

namespace vorn::app {

// Joins the application's life to the outside services: quitting, also on SIGTERM, SIGINT and
// SIGHUP, goes through the event loop and lets the analytics client write what it has not sent;
// activation changes reach the client; modal alerts pause crash reporting's hang tracking.
void connectApplicationLife(QGuiApplication& application);

}  // namespace vorn::app
