#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class ValueTransformer;

// One row of the registration: a name of ValueTransformerName and how to make its transformer.
struct ValueTransformerRegistration {
    QString name;
    std::function<std::shared_ptr<ValueTransformer>()> make;
};

// Every named transformer, in the order of ValueTransformerName::all().
const std::vector<ValueTransformerRegistration>& valueTransformerRegistrations();

// Registers one instance of each named value transformer under its class name, in order, before
// any window is built. A name that already has a transformer keeps it, so that a second call
// cannot swap out an instance that a window has configured and still relies on.
void registerValueTransformers();
