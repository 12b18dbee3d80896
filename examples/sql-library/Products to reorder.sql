SELECT sku, name, in_stock, unit_price
FROM products
WHERE in_stock < 5 AND discontinued = 0
ORDER BY in_stock, sku
