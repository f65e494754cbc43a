#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <variant>

#include "frameworks/api/OVAppConfig.h"
#include "frameworks/business/BusinessFacade.h"

enum class BusinessFacadeError { noConfig };

// The one business facade of the process, made on first use from the selected brand.
struct BusinessFacadeHolder {
    // The first read builds it; a facade that cannot be made stops the program.
    static BusinessFacade& facade();

    // Builds a facade from an app configuration (none when the brand's configuration could not
    // be made); the error text on failure. facade() turns a failure into the fatal stop.
    static std::variant<std::shared_ptr<BusinessFacade>, QString> makeFacade(std::optional<OVAppConfig> appConfig);

    // The message the program stops with when the facade cannot be made.
    static QString fatalMessage(const QString& errorDescription);

    // Tests put their own facade in place before the first read (or replace it between tests).
    static void setFacadeForTesting(std::shared_ptr<BusinessFacade> facade);
};
