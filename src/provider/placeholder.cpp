// Temporary: the catalogue code follows.
