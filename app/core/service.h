#pragma once

namespace core {

// A service the ServiceManager starts and stops with the engine.
class IService {
 public:
  virtual ~IService() = default;
  virtual void initialize() = 0;
  virtual void cleanup() = 0;
};

}  // namespace core
