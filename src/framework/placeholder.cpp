// Temporary: the framework follows.
