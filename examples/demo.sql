-- The Mervale demo: a small shop in SQLite. The build turns this file into demo/demo.db.
-- It holds what a script must survive: a table name with a blank, NULLs, an apostrophe,
-- integers, REAL, TEXT, NUMERIC with a scale, dates kept as text, and indexes.

PRAGMA foreign_keys = ON;
BEGIN TRANSACTION;

CREATE TABLE staff (
  staff_id   INTEGER PRIMARY KEY,
  first_name VARCHAR(30) NOT NULL,
  last_name  VARCHAR(30) NOT NULL,
  role       VARCHAR(20) NOT NULL,
  hired_on   DATE NOT NULL,
  manager_id INTEGER REFERENCES staff (staff_id)
);

INSERT INTO staff VALUES (1, 'Margaret', 'Holloway', 'Owner', '2015-04-01', NULL);
INSERT INTO staff VALUES (2, 'Sean', 'O''Brien', 'Shop manager', '2017-09-15', 1);
INSERT INTO staff VALUES (3, 'Priya', 'Raman', 'Sales', '2021-02-08', 2);
INSERT INTO staff VALUES (4, 'Tomasz', 'Nowak', 'Warehouse', '2022-11-21', 2);

CREATE TABLE customers (
  customer_id INTEGER PRIMARY KEY,
  first_name  VARCHAR(30) NOT NULL,
  last_name   VARCHAR(30) NOT NULL,
  email       VARCHAR(80),
  phone       VARCHAR(20),
  city        VARCHAR(40) NOT NULL,
  joined_on   DATE NOT NULL,
  notes       TEXT
);

INSERT INTO customers VALUES (1, 'Aoife', 'O''Brien', 'aoife.obrien@example.com', '+353 1 555 0134', 'Dublin', '2022-01-14', NULL);
INSERT INTO customers VALUES (2, 'James', 'Whitaker', 'j.whitaker@example.co.uk', NULL, 'Leeds', '2022-03-02', 'Prefers delivery after 5 pm');
INSERT INTO customers VALUES (3, 'Chloe', 'Martin', 'chloe.martin@example.fr', '+33 1 55 55 01 02', 'Lyon', '2022-06-30', NULL);
INSERT INTO customers VALUES (4, 'Ravi', 'Patel', NULL, '0113 496 0871', 'Leeds', '2023-01-09', 'Pays cash; no e-mail');
INSERT INTO customers VALUES (5, 'Ingrid', 'Larsen', 'ingrid@example.no', NULL, 'Bergen', '2023-05-21', NULL);
INSERT INTO customers VALUES (6, 'Dan', 'D''Arcy', 'dan.darcy@example.ie', '+353 21 555 0199', 'Cork', '2023-11-03', 'Trade account, 10% discount');

CREATE TABLE products (
  product_id   INTEGER PRIMARY KEY,
  sku          VARCHAR(12) NOT NULL,
  name         VARCHAR(60) NOT NULL,
  category     VARCHAR(20),
  unit_price   NUMERIC(10,2) NOT NULL,
  weight_kg    REAL,
  in_stock     INTEGER NOT NULL DEFAULT 0,
  discontinued INTEGER NOT NULL DEFAULT 0
);

INSERT INTO products VALUES (1, 'TEA-EB-250', 'English Breakfast tea, 250 g', 'Tea', 6.50, 0.27, 48, 0);
INSERT INTO products VALUES (2, 'TEA-GR-100', 'Sencha green tea, 100 g', 'Tea', 8.95, 0.12, 20, 0);
INSERT INTO products VALUES (3, 'COF-ES-500', 'Espresso beans, 500 g', 'Coffee', 12.40, 0.52, 15, 0);
INSERT INTO products VALUES (4, 'MUG-ST-001', 'Stoneware mug "Harbour"', 'Crockery', 9.00, 0.38, 0, 0);
INSERT INTO products VALUES (5, 'POT-CL-150', 'Cast iron teapot, 1.5 l', 'Crockery', 42.00, 1.9, 4, 0);
INSERT INTO products VALUES (6, 'GFT-CARD-25', 'Gift card, 25.00', NULL, 25.00, NULL, 100, 0);
INSERT INTO products VALUES (7, 'TEA-EG-250', 'Earl Grey tea, 250 g', 'Tea', 6.75, 0.27, 0, 1);

CREATE UNIQUE INDEX ux_products_sku ON products (sku);

CREATE TABLE orders (
  order_id    INTEGER PRIMARY KEY,
  customer_id INTEGER NOT NULL REFERENCES customers (customer_id),
  staff_id    INTEGER REFERENCES staff (staff_id),
  ordered_on  DATE NOT NULL,
  shipped_on  DATE,
  status      VARCHAR(12) NOT NULL
);

INSERT INTO orders VALUES (1001, 1, 3, '2024-02-03', '2024-02-05', 'shipped');
INSERT INTO orders VALUES (1002, 2, 3, '2024-02-11', '2024-02-12', 'shipped');
INSERT INTO orders VALUES (1003, 4, NULL, '2024-02-20', NULL, 'cancelled');
INSERT INTO orders VALUES (1004, 6, 2, '2024-03-01', '2024-03-04', 'shipped');
INSERT INTO orders VALUES (1005, 3, 3, '2024-03-09', NULL, 'open');
INSERT INTO orders VALUES (1006, 2, NULL, '2024-03-10', NULL, 'open');

CREATE INDEX ix_orders_customer_date ON orders (customer_id, ordered_on);

CREATE TABLE "Order Lines" (
  order_id   INTEGER NOT NULL REFERENCES orders (order_id),
  line_no    INTEGER NOT NULL,
  product_id INTEGER NOT NULL REFERENCES products (product_id),
  quantity   INTEGER NOT NULL,
  unit_price NUMERIC(10,2) NOT NULL,
  discount   REAL,
  PRIMARY KEY (order_id, line_no)
);

INSERT INTO "Order Lines" VALUES (1001, 1, 1, 2, 6.50, NULL);
INSERT INTO "Order Lines" VALUES (1001, 2, 4, 1, 9.00, NULL);
INSERT INTO "Order Lines" VALUES (1002, 1, 3, 1, 12.40, NULL);
INSERT INTO "Order Lines" VALUES (1003, 1, 5, 1, 42.00, NULL);
INSERT INTO "Order Lines" VALUES (1004, 1, 1, 10, 6.50, 0.1);
INSERT INTO "Order Lines" VALUES (1004, 2, 2, 6, 8.95, 0.1);
INSERT INTO "Order Lines" VALUES (1004, 3, 6, 1, 25.00, NULL);
INSERT INTO "Order Lines" VALUES (1005, 1, 2, 2, 8.95, NULL);
INSERT INTO "Order Lines" VALUES (1006, 1, 3, 2, 12.40, 0.05);
INSERT INTO "Order Lines" VALUES (1006, 2, 7, 1, 6.75, NULL);

CREATE INDEX ix_order_lines_product ON "Order Lines" (product_id);

-- Left out of the demo run by its configuration ([Ignore Tables]), so the run lists it as
-- not processed.
CREATE TABLE audit_log (
  entry_id  INTEGER PRIMARY KEY,
  logged_at TEXT NOT NULL,
  staff_id  INTEGER,
  action    TEXT NOT NULL
);

INSERT INTO audit_log VALUES (1, '2024-03-01 09:12:44', 2, 'price change: TEA-EB-250 6.25 -> 6.50');
INSERT INTO audit_log VALUES (2, '2024-03-04 16:40:02', 4, 'stock count: MUG-ST-001 = 0');
INSERT INTO audit_log VALUES (3, '2024-03-10 08:01:15', NULL, 'nightly backup');

COMMIT;
