#pragma once

// Registers one instance of each named value transformer under its class name.
void registerValueTransformers();
