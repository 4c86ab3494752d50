#include "common/telemetry/delivery.h"

#include "common/text.h"

namespace tavo {

std::string TelemetryDeliveryJson(const TelemetryDelivery& d) {
  std::string out = "{\"attempted\":";
  out += d.attempted ? "true" : "false";
  out += ",\"configured\":";
  out += d.configured ? "true" : "false";
  out += ",\"httpStatus\":" + std::to_string(d.httpStatus);
  out += ",\"transportError\":" + std::to_string(d.transportError);
  out += ",\"operation\":";
  AppendJsonString(out, d.operation);
  out += ",\"sentEvents\":" + std::to_string(d.sentEvents);
  out += ",\"totalEvents\":" + std::to_string(d.totalEvents);
  out += ",\"responseBody\":";
  AppendJsonString(out, d.responseBody);
  out += ",\"responseTruncated\":";
  out += d.responseTruncated ? "true" : "false";
  out.push_back('}');
  return out;
}

}  // namespace tavo
