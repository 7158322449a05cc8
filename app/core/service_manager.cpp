#include "app/core/service_manager.h"

namespace core {

ServiceManager::ServiceManager(Settings& settings, Logger& logger) : settings_(settings), logger_(logger) {}

void ServiceManager::addService(IService& service) { services_.push_back(&service); }

void ServiceManager::setUpdateCheckLauncher(UpdateCheckLauncher launcher) { updateCheck_ = std::move(launcher); }

void ServiceManager::initializeAll() {
  logger_.info("ServiceManager: Initializing all services...");
  for (IService* service : services_) service->initialize();
  if (settings_.config.snapshot()->program.check_for_updates && updateCheck_) updateCheck_();
}

void ServiceManager::cleanupAll() {
  logger_.info("ServiceManager: Cleaning up all services...");
  for (IService* service : services_) service->cleanup();
}

}  // namespace core
